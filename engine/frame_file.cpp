// Output frames are written under a temporary name in the output folder and renamed when
// complete: closing the window, a kill or a full disk then never leaves a torn PNG under a frame's
// name. The temporary name does not end in ".png", so a folder that is input and output at once
// never counts it as a frame.
#include "engine/frame_file.h"

#include "engine/stale_parts.h"
#include "image/png_codec.h"
#include "runtime/files.h"

#include <cerrno>

namespace korvel {

std::u16string frame_part_name(const char16_t* path) {
    std::u16string name(path);
    for (char c : part_owner_mark())
        name += static_cast<char16_t>(c);
    name += u".part";
    return name;
}

// Removes what a failed write or rename left, keeping errno as the failure set it.
std::int32_t remove_part(const char16_t* part) {
    const int cause = errno;
    file_delete(part);
    errno = cause;
    return 0;
}

std::int32_t frame_part_write(image_handle_t canvas, const char16_t* part,
                              const png_frame_settings& settings) {
    errno = 0;
    return png_encode_releasing(canvas, part, settings) ? 1 : remove_part(part);
}

std::int32_t frame_part_commit(const char16_t* part, const char16_t* path) {
    errno = 0;
    return file_rename(part, path) ? 1 : remove_part(part);
}

} // namespace korvel
