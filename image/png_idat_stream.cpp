// The filtered rows of a true-colour PNG file, built from pixel memory and compressed in one piece
// by libdeflate, whose strongest level beats zlib's level 9 in size on rendered frames.
#include "image/png_idat_stream.h"

#include "image/png_rows.h"

#include <libdeflate.h>

#include <cstdlib>
#include <memory>

namespace korvel {
namespace {

// Frames are written once and kept: the slowest, strongest level is worth its time.
constexpr int COMPRESSION_LEVEL = 12;
// libdeflate 1.14 allocates 9,009,552 bytes for a compressor at levels 10 to 12.
constexpr std::int64_t COMPRESSOR_TABLES = std::int64_t{9} << 20;
constexpr std::uint8_t FILTER_NONE = 0;

struct free_block {
    void operator()(void* block) const { std::free(block); }
};
struct free_compressor {
    void operator()(libdeflate_compressor* compressor) const {
        libdeflate_free_compressor(compressor);
    }
};
using byte_block = std::unique_ptr<std::uint8_t, free_block>;
using compressor_owner = std::unique_ptr<libdeflate_compressor, free_compressor>;

byte_block allocate_block(std::size_t size) {
    return byte_block(static_cast<std::uint8_t*>(std::malloc(size)));
}

std::size_t filtered_row_size(const png_pixel_rows& rows) {
    return 1 +
           static_cast<std::size_t>(rows.width) * static_cast<std::size_t>(rows.bytes_per_pixel);
}

// 0 when there is nothing to write or the size does not fit a size_t.
std::size_t filtered_size(const png_pixel_rows& rows) {
    if (rows.width <= 0 || rows.height <= 0) return 0;
    if (rows.bytes_per_pixel != 3 && rows.bytes_per_pixel != 4) return 0;
    const std::size_t row_size = filtered_row_size(rows);
    const auto height = static_cast<std::size_t>(rows.height);
    if (row_size > SIZE_MAX / height) return 0;
    return row_size * height;
}

template <int bytes_per_pixel>
void filter_row(const std::uint8_t* source, std::int32_t width, std::uint8_t* out) {
    *out++ = FILTER_NONE;
    for (std::int32_t x = 0; x < width; ++x, source += bytes_per_pixel, out += bytes_per_pixel) {
        out[0] = source[2];
        out[1] = source[1];
        out[2] = source[0];
        if constexpr (bytes_per_pixel == 4) out[3] = source[3];
    }
}

void filter_rows(const png_pixel_rows& rows, std::uint8_t* out) {
    const std::size_t row_size = filtered_row_size(rows);
    for (std::int32_t y = 0; y < rows.height; ++y, out += row_size) {
        const std::uint8_t* source =
            rows.pixels + memory_row_offset(y, rows.height, rows.stride, rows.row_flags);
        if (rows.bytes_per_pixel == 4)
            filter_row<4>(source, rows.width, out);
        else
            filter_row<3>(source, rows.width, out);
    }
}

} // namespace

std::int64_t png_idat_rows_bytes(std::int32_t width, std::int32_t height,
                                 std::int32_t bytes_per_pixel) {
    const png_pixel_rows rows{nullptr, width, height, 0, 0, bytes_per_pixel};
    return static_cast<std::int64_t>(filtered_size(rows));
}

std::int64_t png_idat_workspace_bytes(std::int32_t width, std::int32_t height,
                                      std::int32_t bytes_per_pixel) {
    return png_idat_rows_bytes(width, height, bytes_per_pixel) + COMPRESSOR_TABLES;
}

png_idat_stream png_idat_compress(const png_pixel_rows& rows) {
    png_idat_stream filtered = png_idat_filter(rows);
    return png_idat_deflate(&filtered);
}

png_idat_stream png_idat_filter(const png_pixel_rows& rows) {
    const std::size_t size = filtered_size(rows);
    if (rows.pixels == nullptr || size == 0) return {nullptr, 0};
    byte_block filtered = allocate_block(size);
    if (filtered == nullptr) return {nullptr, 0};
    filter_rows(rows, filtered.get());
    return {filtered.release(), size};
}

png_idat_stream png_idat_deflate(png_idat_stream* filtered) {
    const byte_block rows(filtered->bytes);
    const std::size_t size = filtered->size;
    *filtered = {nullptr, 0};
    if (rows == nullptr || size == 0) return {nullptr, 0};
    const compressor_owner compressor(libdeflate_alloc_compressor(COMPRESSION_LEVEL));
    if (compressor == nullptr) return {nullptr, 0};
    const std::size_t bound = libdeflate_zlib_compress_bound(compressor.get(), size);
    byte_block compressed = allocate_block(bound);
    if (compressed == nullptr) return {nullptr, 0};
    const std::size_t length =
        libdeflate_zlib_compress(compressor.get(), rows.get(), size, compressed.get(), bound);
    if (length == 0) return {nullptr, 0};
    return {compressed.release(), length};
}

void png_idat_free(png_idat_stream* stream) {
    std::free(stream->bytes);
    *stream = {nullptr, 0};
}

} // namespace korvel
