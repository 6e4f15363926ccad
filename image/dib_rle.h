// Run-length encoded rows of 4- and 8-bit bitmaps: the codes read in order and handed out one
// stored row at a time, bottom row first, as palette indices of one byte per pixel.
#pragma once

#include "image/byte_source.h"
#include "image/dib_reader.h"

#include <cstddef>
#include <cstdint>

namespace korvel {

struct rle_rows {
    const byte_source* source;
    std::uint64_t next_byte; // of the codes not yet buffered
    std::int32_t width, height, bits;
    std::int32_t row_asked; // the row the next call hands out
    std::int32_t code_row;  // the row the codes have reached
    std::int32_t x;         // where the codes put their next pixel in it
    bool ended;             // an end-of-bitmap code was read
    bool row_set;           // a code set a pixel of the row handed out last
    std::size_t buffered, used;
    std::uint8_t buffer[4096];
};

// Starts reading the codes of the bitmap info describes at pixel_offset.
void rle_start(const byte_source& source, const dib_info& info, std::uint64_t pixel_offset,
               rle_rows* rows);

// Fills indices (width bytes) with the next stored row. Pixels that no code sets, skipped by a
// delta or left by an end of line or of the bitmap, are index 0; pixels past the row's end and
// rows past the top are dropped. False when the codes run out before the row is done.
bool rle_next_row(rle_rows* rows, std::uint8_t* indices);

} // namespace korvel
