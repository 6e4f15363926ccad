// Output frames are written under a temporary name in the output folder and renamed when
// complete: closing the window, a kill or a full disk then never leaves a torn PNG under a frame's
// name. The temporary name does not end in ".png", so a folder that is input and output at once
// never counts it as a frame.
#include "app/frame_file.h"

#include "image/codec.h"
#include "runtime/files.h"

#include <string>
#include <unistd.h>

namespace korvel {

namespace {

std::u16string temporary_name(const char16_t* path) {
    std::u16string name(path);
    name += u".";
    for (char c : std::to_string(getpid())) name += static_cast<char16_t>(c);
    name += u".part";
    return name;
}

} // namespace

std::int32_t frame_file_save(obj_number n, const char16_t* path) {
    const std::u16string part = temporary_name(path);
    if (image_save(n, part.c_str(), ENCODER_PNG, 32) && file_rename(part.c_str(), path))
        return 1;
    file_delete(part.c_str());
    return 0;
}

} // namespace korvel
