// Saving an output frame so that its name never holds a half-written file: the frame is written
// under a temporary name beside its own, then renamed.
#pragma once

#include "image/bitmap.h"
#include "image/png_codec.h"

#include <cstdint>
#include <string>

namespace korvel {

// A frame is saved in steps, for a canvas that is no numbered image and may be written on another
// thread: the temporary name that the frame for path is written under, ...
std::u16string frame_part_name(const char16_t* path);

// ... the writing of the 32-bit bitmap as an RGBA PNG to part; a failed write removes part, and
// errno then tells why when the system said (0 when it did not). Non-zero on success. The bitmap is
// freed, as soon as its rows are copied out for compressing.
std::int32_t frame_part_write(image_handle_t canvas, const char16_t* part,
                              const png_frame_settings& settings = {});

// ... and the renaming, which gives the written part its final name path, replacing an older file
// of that name; on failure part is removed, path left as it was and errno tells why. Non-zero on
// success.
std::int32_t frame_part_commit(const char16_t* part, const char16_t* path);

} // namespace korvel
