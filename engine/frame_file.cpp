// Output frames are written under a temporary name in the output folder and renamed when
// complete: closing the window, a kill or a full disk then never leaves a torn PNG under a frame's
// name. The temporary name does not end in ".png", so a folder that is input and output at once
// never counts it as a frame.
#include "engine/frame_file.h"

#include "engine/stale_parts.h"
#include "image/codec.h"
#include "image/png_codec.h"
#include "runtime/files.h"

namespace korvel {

std::u16string frame_part_name(const char16_t* path) {
    std::u16string name(path);
    for (char c : part_owner_mark())
        name += static_cast<char16_t>(c);
    name += u".part";
    return name;
}

std::int32_t frame_file_save(obj_number n, const char16_t* path) {
    const std::u16string part = frame_part_name(path);
    if (image_save(n, part.c_str(), ENCODER_PNG, 32)) return frame_part_commit(part.c_str(), path);
    file_delete(part.c_str());
    return 0;
}

std::int32_t frame_part_write(image_handle_t canvas, const char16_t* part) {
    if (png_encode_releasing(canvas, part)) return 1;
    file_delete(part);
    return 0;
}

std::int32_t frame_part_commit(const char16_t* part, const char16_t* path) {
    if (file_rename(part, path)) return 1;
    file_delete(part);
    return 0;
}

} // namespace korvel
