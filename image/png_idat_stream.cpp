// The filtered rows of a true-colour PNG file, built from pixel memory and compressed in one piece
// by libdeflate, which at the default level matches zlib's level 9 in size in half its time.
#include "image/png_idat_stream.h"

#include "image/png_row_filters.h"
#include "image/png_row_kernels.h"
#include "image/png_rows.h"

#include <libdeflate.h>

#include <cstdlib>
#include <memory>
#include <utility>

namespace korvel {
namespace {

// What libdeflate 1.14 allocates for a compressor: 9,011,200 bytes at most at levels 10 to 12,
// 671,744 at 2 to 9, 204,800 at 1 and 6,784 at 0; each rounded up here.
constexpr std::int64_t KIB = 1024;
constexpr std::int64_t NEAR_OPTIMAL_TABLES = 9 * 1024 * KIB;
constexpr std::int64_t HASH_CHAIN_TABLES = 704 * KIB;
constexpr std::int64_t FASTEST_TABLES = 256 * KIB;
constexpr std::int64_t STORED_TABLES = 8 * KIB;

std::int64_t compressor_tables(std::int32_t level) {
    if (level >= 10) return NEAR_OPTIMAL_TABLES;
    if (level >= 2) return HASH_CHAIN_TABLES;
    return level == 1 ? FASTEST_TABLES : STORED_TABLES;
}

// The row being filtered, the one above it and the adaptive filter's trial.
constexpr std::size_t FILTER_WORK_ROWS = 3;

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

// 0 for memory pixels of any size but 3 or 4 bytes.
std::int32_t file_bytes_per_pixel(const png_pixel_rows& rows, const png_frame_settings& settings) {
    if (rows.bytes_per_pixel != 3 && rows.bytes_per_pixel != 4) return 0;
    return settings.rgb ? 3 : rows.bytes_per_pixel;
}

// A row's samples in the file, without its filter type byte.
std::size_t sample_row_size(std::int32_t width, std::int32_t bytes_per_pixel) {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(bytes_per_pixel);
}

// 0 when there is nothing to write or the size does not fit a size_t.
std::size_t filtered_size(std::int32_t width, std::int32_t height, std::int32_t bytes_per_pixel) {
    if (width <= 0 || height <= 0) return 0;
    if (bytes_per_pixel != 3 && bytes_per_pixel != 4) return 0;
    const std::size_t row_size = 1 + sample_row_size(width, bytes_per_pixel);
    const auto rows = static_cast<std::size_t>(height);
    if (row_size > SIZE_MAX / rows) return 0;
    return row_size * rows;
}

// Picture row y as the file holds it before filtering.
void sample_row(const png_pixel_rows& rows, const png_frame_settings& settings, std::int32_t y,
                std::uint8_t* out) {
    const std::uint8_t* source =
        rows.pixels + memory_row_offset(y, rows.height, rows.stride, rows.row_flags);
    const png_row_kernels& kernels = png_row_kernels_chosen();
    if (rows.bytes_per_pixel == 3)
        kernels.rgb_to_bgr(source, rows.width, nullptr, out);
    else if (settings.rgb)
        kernels.bgra_over_to_rgb(source, rows.width, settings.background, out);
    else
        kernels.rgba_to_bgra(source, rows.width, nullptr, out);
}

// Writes the filtered samples to out and returns the filter type byte they go behind.
std::uint8_t filter_row(png_row_filter filter, const png_filter_input& input, std::uint8_t* out,
                        std::uint8_t* scratch) {
    if (filter == png_row_filter::adaptive)
        return static_cast<std::uint8_t>(png_filter_row_adaptive(input, out, scratch));
    // The fixed choices hold the type byte they write.
    const auto type = static_cast<png_filter_type>(filter);
    png_filter_row(type, input, out);
    return static_cast<std::uint8_t>(type);
}

// False when memory runs out.
bool filter_rows(const png_pixel_rows& rows, const png_frame_settings& settings,
                 std::int32_t bytes_per_pixel, std::uint8_t* out) {
    const std::size_t row_size = sample_row_size(rows.width, bytes_per_pixel);
    // Zeroed: the top row's row above.
    const byte_block work(static_cast<std::uint8_t*>(std::calloc(FILTER_WORK_ROWS, row_size)));
    if (work == nullptr) return false;
    std::uint8_t* row = work.get();
    std::uint8_t* prior = row + row_size;
    std::uint8_t* trial = prior + row_size;
    for (std::int32_t y = 0; y < rows.height; ++y, out += 1 + row_size) {
        sample_row(rows, settings, y, row);
        out[0] =
            filter_row(settings.filter, {row, prior, row_size, bytes_per_pixel}, out + 1, trial);
        std::swap(row, prior);
    }
    return true;
}

} // namespace

std::int64_t png_idat_rows_bytes(std::int32_t width, std::int32_t height,
                                 std::int32_t bytes_per_pixel) {
    const std::size_t size = filtered_size(width, height, bytes_per_pixel);
    if (size == 0) return 0;
    return static_cast<std::int64_t>(size +
                                     FILTER_WORK_ROWS * sample_row_size(width, bytes_per_pixel));
}

std::int64_t png_idat_workspace_bytes(std::int32_t width, std::int32_t height,
                                      std::int32_t bytes_per_pixel, std::int32_t level) {
    return png_idat_rows_bytes(width, height, bytes_per_pixel) + compressor_tables(level);
}

png_idat_stream png_idat_compress(const png_pixel_rows& rows, const png_frame_settings& settings) {
    png_idat_stream filtered = png_idat_filter(rows, settings);
    return png_idat_deflate(&filtered, settings.level);
}

png_idat_stream png_idat_filter(const png_pixel_rows& rows, const png_frame_settings& settings) {
    const std::int32_t bytes_per_pixel = file_bytes_per_pixel(rows, settings);
    const std::size_t size = filtered_size(rows.width, rows.height, bytes_per_pixel);
    if (rows.pixels == nullptr || size == 0) return {nullptr, 0};
    byte_block filtered = allocate_block(size);
    if (filtered == nullptr || !filter_rows(rows, settings, bytes_per_pixel, filtered.get()))
        return {nullptr, 0};
    return {filtered.release(), size};
}

png_idat_stream png_idat_deflate(png_idat_stream* filtered, std::int32_t level) {
    const byte_block rows(filtered->bytes);
    const std::size_t size = filtered->size;
    *filtered = {nullptr, 0};
    if (rows == nullptr || size == 0) return {nullptr, 0};
    const compressor_owner compressor(libdeflate_alloc_compressor(level));
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
