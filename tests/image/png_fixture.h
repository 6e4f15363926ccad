// PNG files made and taken apart with libpng and zlib, for the PNG decoder and encoder tests.
#pragma once

#include <png.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvel::test {

// A picture described sample by sample, as it is to be stored in a PNG file.
struct png_picture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    int bit_depth = 8;
    int colour_type = PNG_COLOR_TYPE_RGB;
    bool interlaced = false;
    // Rows from the top; per pixel the file's channels in file order (a palette index for
    // palette pictures), each sample at bit_depth.
    std::vector<std::uint16_t> samples;
    std::vector<png_color> palette;
    std::vector<std::uint8_t> palette_alpha; // tRNS of a palette picture
    // tRNS of a grey (first value only) or RGB picture.
    std::optional<std::array<std::uint16_t, 3>> transparent_colour;
    // gAMA, as 100000 times the gamma; 0 writes none.
    std::uint32_t gamma_times_100000 = 0;
    int compression_level = 6;

    int channels() const;
    std::uint16_t sample(std::int32_t x, std::int32_t y, int channel) const;
};

// Samples that differ from pixel to pixel (and in both bytes of 16-bit samples), for any layout.
png_picture varied_picture(std::int32_t width, std::int32_t height, int colour_type, int bit_depth);

// The PNG file of the picture; empty if libpng refused it.
std::vector<std::uint8_t> png_file_bytes(const png_picture& picture);

struct png_chunk {
    std::string type;
    std::vector<std::uint8_t> data;
};

// The chunks after the signature; empty when the signature or the chunk framing is wrong.
std::vector<png_chunk> png_chunks(const std::vector<std::uint8_t>& file);

// The chunk types in file order.
std::vector<std::string> chunk_types(const std::vector<png_chunk>& chunks);

// The concatenated IDAT data, inflated; empty when it does not inflate completely.
std::vector<std::uint8_t> inflated_image_data(const std::vector<png_chunk>& chunks);

std::uint32_t big_endian_u32(const std::uint8_t* bytes);

// Readies the image table and the codec registry with the PNG decoder and encoder (idempotent).
void register_png_codecs();

} // namespace korvel::test
