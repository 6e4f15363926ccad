// The process's open handles by file identity, with the access they use and the access they let
// others share, and the rule that decides whether a new open may join them.
#pragma once

#include "runtime/file_share.h"

#include <cstdint>
#include <sys/types.h>

namespace korvel {

// Deleting or renaming a file is an access of its own, shared only by handles that allow it.
inline constexpr std::uint32_t ACCESS_DELETE = 4;
inline constexpr std::uint32_t SHARE_ALL = SHARE_READ | SHARE_WRITE | SHARE_DELETE;

struct file_node {
    dev_t device;
    ino_t inode;
    bool operator==(const file_node&) const = default;
};

// True when a handle holding held_access and sharing held_share rules out an open that asks for
// access and shares share: either side wants an access the other does not share. Access and share
// bits of the same kind have the same value.
inline bool share_conflict(std::uint32_t held_access, std::uint32_t held_share,
                           std::uint32_t access, std::uint32_t share) {
    return (held_share & access) != access || (share & held_access) != held_access;
}

// The calls below must run under the lock that serialises every open, close and deletion.

// True when no registered handle of file conflicts with access and share.
bool registry_allows(file_node file, std::uint32_t access, std::uint32_t share);

// Records descriptor fd; false when memory runs out.
bool registry_add(int fd, file_node file, std::uint32_t access, std::uint32_t share);

// Forgets descriptor fd; false when it was not registered.
bool registry_remove(int fd);

} // namespace korvel
