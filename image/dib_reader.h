// Device-independent bitmap data as BMP files and icon images store it: the info header with its
// colour masks and palette, and the stored rows turned into blue, green, red, alpha pixels.
#pragma once

#include "image/byte_source.h"

#include <cstdint>

namespace korvel {

struct dib_info {
    std::uint32_t header_size;
    std::int32_t width;
    std::int32_t height; // stored rows
    bool top_down;       // the first stored row is the top of the picture
    std::int32_t bit_count;
    std::int32_t stride;           // bytes per stored row (uncompressed)
    std::int32_t rle;              // 4 or 8 when the rows are run-length encoded, else 0
    bool plain_555;                // 16-bit rows of 5-5-5 pixels, the layout 16-bit bitmaps keep
    std::uint32_t masks[4];        // red, green, blue, alpha (0: opaque) for 16 and 32 bits
    std::int32_t palette_count;    // entries that indices may name (1 to 8 bits)
    std::uint8_t palette[256 * 4]; // blue, green, red, unused
    std::uint64_t colours_end;     // offset just after the header, its masks and its palette
};

// Reads the info header at offset with its masks and palette. False for a header this system does
// not read (compression other than bit fields and run-length encoding at 4 and 8 bits, unknown
// sizes and depths) or that does not lie within the data.
bool dib_read_info(const byte_source& source, std::uint64_t offset, dib_info* info);

// True when all the stored rows of uncompressed data, starting at pixel_offset, lie within the
// data.
bool dib_rows_present(const byte_source& source, const dib_info& info, std::uint64_t pixel_offset);

// Reads the stored row that holds bottom-up memory row memory_row into stored (stride bytes).
bool dib_read_row(const byte_source& source, const dib_info& info, std::uint64_t pixel_offset,
                  std::int32_t memory_row, std::uint8_t* stored);

// Converts one stored row into width pixels of blue, green, red, alpha. False when a palette
// index names no entry.
bool dib_row_to_bgra(const dib_info& info, const std::uint8_t* stored, std::uint8_t* bgra);

} // namespace korvel
