// The image data of a true-colour PNG file: the picture's rows in file order, each behind filter
// byte 0 (None), with the samples turned from memory order blue, green, red(, alpha) to red,
// green, blue(, alpha), compressed as one zlib stream at libdeflate's strongest level.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

// 24- or 32-bit pixels as they lie in memory.
struct png_pixel_rows {
    const std::uint8_t* pixels;
    std::int32_t width;
    std::int32_t height;
    std::int32_t stride;
    std::uint32_t row_flags; // ROWS_BOTTOM_UP when the first memory row is the picture's bottom
    std::int32_t bytes_per_pixel; // 3 or 4
};

// A block from std::malloc: the filtered rows, or a complete zlib stream of them. bytes is null
// when there is none.
struct png_idat_stream {
    std::uint8_t* bytes;
    std::size_t size;
};

// The filtered rows of pixels of that size; 0 when the size is not positive.
std::int64_t png_idat_rows_bytes(std::int32_t width, std::int32_t height,
                                 std::int32_t bytes_per_pixel);

// The memory that compressing rows of that size takes besides the pixels and the result: the
// filtered rows and the compressor's tables (its strongest levels keep about 9 MB for finding
// matches), so that callers can budget for encodes running side
// by side.
std::int64_t png_idat_workspace_bytes(std::int32_t width, std::int32_t height,
                                      std::int32_t bytes_per_pixel);

// The compressed filtered rows, the top picture row first; {null, 0} when there are no pixels, the
// size is not positive or memory runs out.
png_idat_stream png_idat_compress(const png_pixel_rows& rows);

// The same in two steps, so that the pixels can be freed before the compressor takes its tables:
// the filtered rows, ...
png_idat_stream png_idat_filter(const png_pixel_rows& rows);
// ... and their zlib stream. The filtered rows are freed as soon as they are compressed, whatever
// the outcome.
png_idat_stream png_idat_deflate(png_idat_stream* filtered);

// Frees the stream's bytes and leaves it empty; an empty stream is left alone.
void png_idat_free(png_idat_stream* stream);

} // namespace korvel
