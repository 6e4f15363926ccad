// Access and sharing modes for files, which Linux does not have and the program relies on (a
// render job's hold on the job file must make the input scan's opens fail).
//
// Every handle states what it does with the file (its access) and what it lets other handles do
// at the same time (its share). An open fails when an existing handle of the same file does not
// share an access the open asks for, or when the open does not share an access an existing handle
// uses. Within the process every open handle is registered by file identity (device, inode);
// across processes, open file description locks on bytes far beyond any real data carry the same
// marks where the file system supports them. Only regular files can be opened this way.
#pragma once

#include <cstdint>

namespace korvel {

inline constexpr std::uint32_t ACCESS_READ = 1;
inline constexpr std::uint32_t ACCESS_WRITE = 2;

inline constexpr std::uint32_t SHARE_READ = 1;
inline constexpr std::uint32_t SHARE_WRITE = 2;
inline constexpr std::uint32_t SHARE_DELETE = 4;

enum class open_disposition {
    open_existing, // fail when the file does not exist
    open_always,   // create the file when it does not exist
    create_always, // create, or truncate an existing file (only once no handle conflicts); this
                   // counts as write access
};

// A file descriptor (close-on-exec, blocking), or -1 when the file cannot be opened, is not a
// regular file, or a sharing conflict forbids the open.
int shared_open(const char16_t* name, std::uint32_t access, std::uint32_t share,
                open_disposition disposition);

// Closes a descriptor that shared_open returned and forgets its modes; other descriptors are left
// alone.
void shared_close(int fd);

// Deletes the file unless a handle that does not share deletion holds it. Non-zero on success.
std::int32_t shared_delete(const char16_t* name);

// Renames from to to, atomically replacing an existing to, unless a handle that does not share
// deletion holds either file. Non-zero on success.
std::int32_t shared_rename(const char16_t* from, const char16_t* to);

} // namespace korvel
