// Saving an output frame so that its name never holds a half-written file: the frame is written
// under a temporary name beside its own, then renamed.
#pragma once

#include "image/bitmap.h"
#include "runtime/object_table.h"

#include <cstdint>
#include <string>

namespace korvel {

// Saves image n as a PNG under a temporary name beside path and renames it to path once complete,
// replacing an older file of that name. A failed save removes the temporary file and leaves path
// as it was. Non-zero on success.
std::int32_t frame_file_save(obj_number n, const char16_t* path);

// The same in two steps, for a canvas that is no numbered image and may be written on another
// thread: the temporary name that the frame for path is written under, ...
std::u16string frame_part_name(const char16_t* path);

// ... the writing of the 32-bit bitmap as an RGBA PNG to part; a failed write removes part.
// Non-zero on success. The bitmap is freed, as soon as its rows are copied out for compressing.
std::int32_t frame_part_write(image_handle_t canvas, const char16_t* part);

// ... and the renaming, which gives the written part its final name path, replacing an older file
// of that name; on failure part is removed and path left as it was. Non-zero on success.
std::int32_t frame_part_commit(const char16_t* part, const char16_t* path);

} // namespace korvel
