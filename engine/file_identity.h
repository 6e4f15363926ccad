// What tells one state of a file from another without reading it: the device and inode that
// name it, its size and its modification time. Two equal identities taken at different moments
// mean the file was neither replaced nor rewritten in between (within the file system's timestamp
// resolution).
#pragma once

#include <cstdint>

namespace korvel {

struct file_identity {
    std::uint64_t device;
    std::uint64_t inode;
    std::int64_t size;
    std::int64_t modified_ns; // modification time, nanoseconds since the epoch

    bool operator==(const file_identity&) const = default;
};

// The identity of the regular file at path (symbolic links followed); 0 when it cannot be taken
// or the path names anything else.
std::int32_t file_identity_of(const char16_t* path, file_identity* identity);

} // namespace korvel
