// Open file description locks as sharing marks. They belong to the open file description, not to
// the process, so they also separate handles within one process and vanish when the descriptor
// closes or the process dies. Marks are set before they are checked: two opens racing from two
// processes may then both fail, but never both succeed.
#include "runtime/share_markers.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>

namespace korvel {
namespace {

std::atomic<bool> markers_enabled{true};

// Far beyond any file this program writes, and well inside the range the kernel accepts.
constexpr off_t marker_base = off_t(1) << 62;
constexpr int kind_count = 3; // read, write, delete: bit i of the access and share masks

off_t access_marker(int kind) {
    return marker_base + kind;
}

off_t denial_marker(int kind) {
    return marker_base + kind_count + kind;
}

struct flock marker_region(short type, off_t at) {
    struct flock region {};
    region.l_type = type;
    region.l_whence = SEEK_SET;
    region.l_start = at;
    region.l_len = 1;
    return region;
}

// False only when another description holds the marker exclusively. Errors that say the file
// system has no such locks are ignored: the in-process registry still applies.
bool hold_marker(int fd, off_t at) {
    struct flock region = marker_region(F_RDLCK, at);
    if (fcntl(fd, F_OFD_SETLK, &region) == 0) return true;
    return errno != EAGAIN && errno != EACCES;
}

bool held_elsewhere(int fd, off_t at) {
    struct flock region = marker_region(F_WRLCK, at);
    if (fcntl(fd, F_OFD_GETLK, &region) != 0) return false;
    return region.l_type != F_UNLCK;
}

bool uses(std::uint32_t mask, int kind) {
    return (mask & (std::uint32_t(1) << kind)) != 0;
}

} // namespace

void markers_set_enabled(bool enabled) {
    markers_enabled.store(enabled);
}

bool markers_claim(int fd, std::uint32_t access, std::uint32_t share) {
    if (!markers_enabled.load()) return true;
    for (int kind = 0; kind < kind_count; ++kind) {
        if (uses(access, kind) && !hold_marker(fd, access_marker(kind))) return false;
        if (!uses(share, kind) && !hold_marker(fd, denial_marker(kind))) return false;
    }
    for (int kind = 0; kind < kind_count; ++kind) {
        if (uses(access, kind) && held_elsewhere(fd, denial_marker(kind))) return false;
        if (!uses(share, kind) && held_elsewhere(fd, access_marker(kind))) return false;
    }
    return true;
}

} // namespace korvel
