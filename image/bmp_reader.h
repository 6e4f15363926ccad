// The BMP reader: uncompressed, bit-field and run-length encoded BMP files, with the core header
// or the larger ones, and BMP data held in memory.
#pragma once

#include "image/bitmap.h"
#include "image/byte_source.h"

#include <cstdint>

namespace korvel {

// How the pixels are kept: files become 24-bit bitmaps except 16-bit ones, which stay 16-bit
// (5-5-5); memory data becomes a bitmap of max(bit count, 24) bits, and 32-bit data whose alpha
// bytes are all 0 is taken as opaque.
enum class bmp_keep { as_file, as_memory };

// A new bitmap holding the BMP at the start of source, or 0 when it is not a BMP this system reads
// or is damaged. source_depth receives the data's bit count.
image_handle_t bmp_read(const byte_source& source, bmp_keep keep, std::int32_t* source_depth);

} // namespace korvel
