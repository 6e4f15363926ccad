// File identities from stat.
#include "engine/file_identity.h"

#include "runtime/native_name.h"

#include <string>
#include <sys/stat.h>

namespace korvel {

std::int32_t file_identity_of(const char16_t* path, file_identity* identity) {
    std::string native;
    struct stat status {};
    if (!native_name(path, native) || stat(native.c_str(), &status) != 0) return 0;
    // Only a regular file keeps its contents between reads: a pipe or a device gives them once,
    // to whoever reads first, so nothing else may be read ahead or cached.
    if (!S_ISREG(status.st_mode)) return 0;
    *identity = {
        static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
        static_cast<std::int64_t>(status.st_size),
        static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec};
    return 1;
}

} // namespace korvel
