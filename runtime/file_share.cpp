// Opening, deleting and renaming files under the access and sharing rules. One lock serialises
// every open, close, deletion and rename in the process, so the check of the rules and the
// operation they allow happen as one step.
#include "runtime/file_share.h"

#include "runtime/native_name.h"
#include "runtime/share_markers.h"
#include "runtime/share_registry.h"

#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace korvel {
namespace {

std::mutex share_lock;

file_node identity_of(const struct stat& info) {
    return {info.st_dev, info.st_ino};
}

// Truncating writes the file, so creating always asks for write access.
std::uint32_t effective_access(std::uint32_t access, open_disposition disposition) {
    return disposition == open_disposition::create_always ? access | ACCESS_WRITE : access;
}

// Every descriptor can read, because a shared marker lock needs a readable descriptor.
// Non-blocking, so that a FIFO or device in a folder of frames cannot hang the open; only regular
// files are admitted afterwards.
int open_flags(std::uint32_t access, open_disposition disposition) {
    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    flags |= (access & ACCESS_WRITE) ? O_RDWR : O_RDONLY;
    if (disposition != open_disposition::open_existing) flags |= O_CREAT;
    return flags;
}

// Registers fd when it is a regular file that no handle, here or in another process, rules out.
bool admit(int fd, std::uint32_t access, std::uint32_t share) {
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    const int flags = fcntl(fd, F_GETFL);
    if (flags == -1 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return false;
    return registry_allows(identity_of(info), access, share) && markers_claim(fd, access, share) &&
           registry_add(fd, identity_of(info), access, share);
}

// True when a handle that does not share deletion holds the regular file at path. Links and
// missing files are held by nobody: deleting a link leaves its target alone.
bool held_against_deletion(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    if (!registry_allows(identity_of(info), ACCESS_DELETE, SHARE_ALL)) return true;
    const int probe = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
    if (probe < 0) return false; // unreadable: other processes' marks cannot be seen
    const bool held = !markers_claim(probe, ACCESS_DELETE, SHARE_ALL);
    close(probe);
    return held;
}

} // namespace

int shared_open(const char16_t* name, std::uint32_t access, std::uint32_t share,
                open_disposition disposition) {
    std::string path;
    if (!native_name(name, path)) return -1;
    access = effective_access(access, disposition);
    std::lock_guard guard(share_lock);
    const int fd = open(path.c_str(), open_flags(access, disposition), 0666);
    if (fd < 0) return -1;
    if (!admit(fd, access, share)) {
        close(fd);
        return -1;
    }
    // Only now, with no conflicting handle anywhere, may an existing file lose its contents.
    if (disposition == open_disposition::create_always && ftruncate(fd, 0) != 0) {
        registry_remove(fd);
        close(fd);
        return -1;
    }
    return fd;
}

void shared_close(int fd) {
    std::lock_guard guard(share_lock);
    if (registry_remove(fd)) close(fd);
}

std::int32_t shared_delete(const char16_t* name) {
    std::string path;
    if (!native_name(name, path)) return 0;
    std::lock_guard guard(share_lock);
    if (held_against_deletion(path)) return 0;
    return unlink(path.c_str()) == 0 ? 1 : 0;
}

std::int32_t shared_rename(const char16_t* from, const char16_t* to) {
    std::string from_path;
    std::string to_path;
    if (!native_name(from, from_path) || !native_name(to, to_path)) return 0;
    std::lock_guard guard(share_lock);
    if (held_against_deletion(from_path) || held_against_deletion(to_path)) return 0;
    return std::rename(from_path.c_str(), to_path.c_str()) == 0 ? 1 : 0;
}

} // namespace korvel
