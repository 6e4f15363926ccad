// Builders of BMP files, icon files and their bitmap images, byte by byte, for the reader tests.
#pragma once

#include "image/bitmap.h"

#include <cstdint>
#include <vector>

namespace korvel::test {

using bytes = std::vector<std::uint8_t>;

// A picture as rows from the top, each row a list of stored pixel values: palette indices for 1 to
// 8 bits, the raw 16-bit value, 0xRRGGBB for 24 bits and 0xAARRGGBB for 32 bits.
using picture = std::vector<std::vector<std::uint32_t>>;

struct dib_layout {
    std::int32_t bits = 24;
    std::uint32_t compression = 0;
    std::uint32_t header_size = 40;
    std::vector<std::uint32_t> masks;   // bit fields: red, green, blue (and alpha)
    std::vector<std::uint32_t> palette; // 0xRRGGBB entries
    std::uint32_t colours_used = 0;
    bool top_down = false;
    std::int32_t height_factor = 1; // 2 for icon images, whose header counts the mask rows too
};

// Info header, masks, palette and the stored rows (no file header).
bytes dib_image(const dib_layout& layout, const picture& rows);

// A BMP file: the file header followed by dib_image.
bytes bmp_file(const dib_layout& layout, const picture& rows);

// 1-bit mask rows, stored bottom-up, from rows given from the top (1: transparent).
bytes mask_rows(const picture& transparent);

struct icon_entry {
    std::uint8_t width;
    std::uint8_t height;
    std::uint16_t bits;
    bytes image;
};

// An icon file: directory, entries and their images one after the other.
bytes icon_file(const std::vector<icon_entry>& entries);

void put_u32(bytes& data, std::size_t at, std::uint32_t value);

// Bytes of the pixel at (x, y) with y counted from the top of the picture.
const std::uint8_t* pixel_at(const bitmap* object, std::int32_t x, std::int32_t y);

} // namespace korvel::test
