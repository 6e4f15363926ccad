// Saving an output frame so that its name never holds a half-written file.
#pragma once

#include "runtime/object_table.h"

#include <cstdint>

namespace korvel {

// Saves image n as a PNG under a temporary name beside path and renames it to path once complete,
// replacing an older file of that name. A failed save removes the temporary file and leaves path
// as it was. Non-zero on success.
std::int32_t frame_file_save(obj_number n, const char16_t* path);

} // namespace korvel
