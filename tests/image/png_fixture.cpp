// Writing PNG files from sample lists with libpng, and reading chunk lists and inflated image
// data back with zlib, independently of the code under test.
#include "png_fixture.h"

#include "image/codec.h"
#include "image/image.h"
#include "image/png_codec.h"

#include <zlib.h>

#include <csetjmp>
#include <cstring>

namespace korvel::test {
namespace {

int channel_count(int colour_type) {
    switch (colour_type) {
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return 2;
    case PNG_COLOR_TYPE_RGB:
        return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return 4;
    default:
        return 1;
    }
}

// One stored row: samples packed most significant bits first, 16-bit samples big-endian.
std::vector<std::uint8_t> packed_row(const png_picture& picture, std::int32_t y) {
    const int channels = picture.channels();
    const std::size_t bits = static_cast<std::size_t>(picture.width) * channels * picture.bit_depth;
    std::vector<std::uint8_t> row((bits + 7) / 8, 0);
    std::size_t bit = 0;
    for (std::int32_t x = 0; x < picture.width; ++x) {
        for (int c = 0; c < channels; ++c, bit += picture.bit_depth) {
            const std::uint16_t value = picture.sample(x, y, c);
            if (picture.bit_depth == 16) {
                row[bit / 8] = static_cast<std::uint8_t>(value >> 8);
                row[bit / 8 + 1] = static_cast<std::uint8_t>(value);
            } else {
                const int shift = 8 - picture.bit_depth - static_cast<int>(bit % 8);
                row[bit / 8] |= static_cast<std::uint8_t>(value << shift);
            }
        }
    }
    return row;
}

void append_output(png_structp png, png_bytep data, std::size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void set_header(png_structp png, png_infop info, const png_picture& picture) {
    png_set_IHDR(png, info, picture.width, picture.height, picture.bit_depth, picture.colour_type,
                 picture.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!picture.palette.empty()) {
        png_set_PLTE(png, info, picture.palette.data(), static_cast<int>(picture.palette.size()));
    }
    if (!picture.palette_alpha.empty()) {
        png_set_tRNS(png, info, picture.palette_alpha.data(),
                     static_cast<int>(picture.palette_alpha.size()), nullptr);
    }
    if (picture.transparent_colour) {
        const auto& t = *picture.transparent_colour;
        png_color_16 colour{0, t[0], t[1], t[2], t[0]};
        png_set_tRNS(png, info, nullptr, 0, &colour);
    }
    if (picture.gamma_times_100000 != 0) {
        png_set_gAMA_fixed(png, info, static_cast<png_fixed_point>(picture.gamma_times_100000));
    }
    png_set_compression_level(png, picture.compression_level);
}

// No object with a destructor lives in this frame, which libpng's errors jump out of.
bool write_png(const png_picture* picture, png_bytepp rows, std::vector<std::uint8_t>* out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, append_output, nullptr);
    set_header(png, info, *picture);
    png_set_rows(png, info, rows);
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

int png_picture::channels() const {
    return channel_count(colour_type);
}

std::uint16_t png_picture::sample(std::int32_t x, std::int32_t y, int channel) const {
    return samples[(static_cast<std::size_t>(y) * width + x) * channels() + channel];
}

png_picture varied_picture(std::int32_t width, std::int32_t height, int colour_type,
                           int bit_depth) {
    png_picture picture;
    picture.width = width;
    picture.height = height;
    picture.colour_type = colour_type;
    picture.bit_depth = bit_depth;
    const std::uint32_t levels = 1u << bit_depth;
    std::uint32_t state = 12345;
    picture.samples.resize(static_cast<std::size_t>(width) * height * picture.channels());
    for (std::uint16_t& s : picture.samples) {
        state = state * 1103515245u + 12345u;
        const std::uint32_t value = (state >> 8) % levels;
        // The low byte of a 16-bit sample never equals the high byte, so using the wrong one shows.
        s = static_cast<std::uint16_t>(bit_depth == 16 ? (value & 0xFF00) | (~value >> 8 & 0xFF)
                                                       : value);
    }
    return picture;
}

std::vector<std::uint8_t> png_file_bytes(const png_picture& picture) {
    std::vector<std::vector<std::uint8_t>> rows;
    std::vector<png_bytep> row_pointers;
    for (std::int32_t y = 0; y < picture.height; ++y)
        rows.push_back(packed_row(picture, y));
    for (auto& row : rows)
        row_pointers.push_back(row.data());
    std::vector<std::uint8_t> out;
    if (!write_png(&picture, row_pointers.data(), &out)) out.clear();
    return out;
}

std::uint32_t big_endian_u32(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
           std::uint32_t{bytes[2]} << 8 | bytes[3];
}

std::vector<png_chunk> png_chunks(const std::vector<std::uint8_t>& file) {
    static const std::uint8_t signature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    if (file.size() < 8 || std::memcmp(file.data(), signature, 8) != 0) return {};
    std::vector<png_chunk> chunks;
    std::size_t at = 8;
    while (at < file.size()) {
        if (file.size() - at < 12) return {};
        const std::uint32_t length = big_endian_u32(&file[at]);
        if (file.size() - at - 12 < length) return {};
        png_chunk chunk;
        chunk.type.assign(reinterpret_cast<const char*>(&file[at + 4]), 4);
        chunk.data.assign(file.begin() + at + 8, file.begin() + at + 8 + length);
        chunks.push_back(std::move(chunk));
        at += 12 + length;
    }
    return chunks;
}

std::vector<std::string> chunk_types(const std::vector<png_chunk>& chunks) {
    std::vector<std::string> types;
    for (const png_chunk& chunk : chunks)
        types.push_back(chunk.type);
    return types;
}

std::vector<std::uint8_t> inflated_image_data(const std::vector<png_chunk>& chunks) {
    std::vector<std::uint8_t> compressed;
    for (const png_chunk& chunk : chunks) {
        if (chunk.type == "IDAT")
            compressed.insert(compressed.end(), chunk.data.begin(), chunk.data.end());
    }
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return {};
    std::vector<std::uint8_t> out;
    std::uint8_t buffer[4096];
    stream.next_in = compressed.data();
    stream.avail_in = static_cast<uInt>(compressed.size());
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = buffer;
        stream.avail_out = sizeof buffer;
        status = inflate(&stream, Z_NO_FLUSH);
        out.insert(out.end(), buffer, buffer + (sizeof buffer - stream.avail_out));
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END) out.clear();
    return out;
}

void register_png_codecs() {
    images_init();
    codecs_init();
    png_decoder_register();
    png_encoder_register();
}

} // namespace korvel::test
