// Image files made for the image tests without the code under test: PNG files of every layout put
// together with zlib, BMP and icon data byte by byte.
#pragma once

#include "image/bitmap.h"
#include "runtime/object_table.h"

#include <zlib.h>

#include <string>
#include <utility>
#include <vector>

namespace korvel::test {

using bytes = std::string; // file contents, as tests/support reads and writes them
using chunk_list = std::vector<std::pair<std::string, bytes>>;

// Samples that differ from pixel to pixel (in both bytes of 16-bit ones): rows from the top, per
// pixel the channels of the PNG colour type (2 adds colour, 4 alpha; 3 is a palette index). tRNS
// gives alpha to the first half of the palette, or makes the first pixel's colour transparent.
struct png_picture {
    png_picture(int width, int height, int colour_type, int bit_depth, bool interlaced = false,
                bool trns = false);
    int width, height, colour_type, bit_depth;
    bool interlaced, trns;
    std::vector<std::uint16_t> samples;
    std::vector<std::uint8_t> palette = {}, palette_alpha = {}; // every entry's red, green, blue

    int channels() const { return colour_type == 3 ? 1 : 1 + (colour_type & 2) + colour_type / 4; }
    int sample(int x, int y, int c) const { return samples[(y * width + x) * channels() + c]; }
};

Bytef* z(const bytes& data); // for zlib's calls, which take bytes they never change as Bytef*
bytes png_rows(const png_picture& picture); // every interlace pass's rows behind filter byte 0
bytes png_file(const png_picture& picture); // IDAT chunks of 8 KiB, a gAMA chunk to be ignored
bytes png_chunk(const std::string& type, const bytes& data);
bytes png_of_chunks(const chunk_list& chunks); // the signature, the chunks and IEND
bytes png_header(std::uint32_t width, std::uint32_t height, int colour_type, int bit_depth = 8);
chunk_list png_chunks(const bytes& file); // empty when the framing is wrong

// Rows from the top of stored values: palette indices, raw 16-bit ones, 0xRRGGBB, 0xAARRGGBB.
using dib_rows = std::vector<std::vector<std::uint32_t>>;
struct dib_layout {
    int bits;
    std::uint32_t compression = 0;
    std::vector<std::uint32_t> masks = {}, palette = {}; // bit fields; entries 0xRRGGBB
    std::uint32_t header_size = 40, colours_used = 0;    // 12: the core header, 3-byte entries
    bool top_down = false;
    bytes codes = {}; // run-length codes stored instead of the rows, which give only the size
};
// Header, masks, palette, rows; with a mask (1: transparent) after them, an icon image.
bytes dib_image(const dib_layout& layout, const dib_rows& rows, const dib_rows& mask = {});
bytes bmp_file(const dib_layout& layout, const dib_rows& rows);
bytes icon_file(const std::vector<std::pair<int, bytes>>& entries); // (bit count, 3 x 2 image)
void put_le32(bytes& data, std::size_t at, std::uint32_t value);

obj_number catch_bytes(obj_number n, const bytes& data);
// Image n's size, depths and pixels, checked to be a whole image, and image n freed; "" when the
// load that made it (result) returned 0.
bytes take_image(obj_number n, obj_number result);
void image_codecs_ready(); // the image table, the registry and the PNG decoder and encoder

} // namespace korvel::test
