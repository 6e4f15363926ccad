// File attributes mapped onto permission bits. Read-only is the absence of write permission;
// hidden and system have no counterpart, so asking for them reports failure rather than
// pretending, and whatever else was asked for is still applied.
#include "runtime/files.h"

#include "runtime/native_name.h"

#include <string>
#include <sys/stat.h>

namespace korvel {
namespace {

constexpr std::uint32_t applicable_bits =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL;

mode_t mode_for(mode_t mode, std::uint32_t bits) {
    if (bits & FILE_ATTRIBUTE_READONLY) return mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH);
    if (bits & (FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_ARCHIVE)) return mode | S_IWUSR;
    return mode;
}

} // namespace

std::int32_t file_set_attributes(const char16_t* name, std::uint32_t bits) {
    std::string path;
    struct stat info;
    if (!name || !native_name(name, path) || stat(path.c_str(), &info) != 0) return 0;
    const mode_t mode = info.st_mode & 07777;
    const mode_t wanted = mode_for(mode, bits);
    if (wanted != mode && chmod(path.c_str(), wanted) != 0) return 0;
    return (bits & ~applicable_bits) == 0 ? 1 : 0;
}

} // namespace korvel
