// Access and sharing modes for files, which Linux does not have and the program relies on (a
// render job's hold on the job file must make the input scan's opens fail).
//
// Within the process every open handle is registered by file identity (device, inode) with its
// access and share modes; an open that conflicts fails as a sharing violation would. Across
// processes, open file description locks on bytes far beyond any real data carry the same marks
// where the file system supports them.
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
    create_always, // create, or truncate an existing file (only once no handle conflicts)
};

// A file descriptor, or -1 when the file cannot be opened or a sharing conflict forbids it.
int shared_open(const char16_t* name, std::uint32_t access, std::uint32_t share,
                open_disposition disposition);

// Closes a descriptor that shared_open returned and forgets its modes.
void shared_close(int fd);

// Deletes the file unless a handle that does not share deletion holds it. Non-zero on success.
std::int32_t shared_delete(const char16_t* name);

} // namespace korvel
