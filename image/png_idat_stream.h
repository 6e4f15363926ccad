// The image data of a true-colour PNG file: the picture's rows in file order, the samples turned
// from memory order blue, green, red(, alpha) to red, green, blue(, alpha), each row behind the
// filter type byte the settings ask for, compressed as one zlib stream by libdeflate.
#pragma once

#include "image/png_codec.h"

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

// The memory that filtering rows of that size takes besides the pixels: the filtered rows and the
// few rows the filters work in; 0 when the size is not positive. bytes_per_pixel is the file's
// (3 for RGB, 4 for RGBA): 4 covers every setting.
std::int64_t png_idat_rows_bytes(std::int32_t width, std::int32_t height,
                                 std::int32_t bytes_per_pixel);

// The memory that compressing rows of that size takes besides the pixels and the result: the
// filtered rows and the compressor's tables, so that callers can budget for encodes running side
// by side. The tables are those of the level given: about 9 MB for finding matches at levels 10
// to 12, 0.7 MB at 2 to 9, 0.2 MB at 1 and next to nothing at 0. Without a level, those of the
// largest, which holds for every level.
std::int64_t png_idat_workspace_bytes(std::int32_t width, std::int32_t height,
                                      std::int32_t bytes_per_pixel, std::int32_t level = 12);

// The compressed filtered rows, the top picture row first; {null, 0} when there are no pixels, the
// size is not positive, the level is not one of libdeflate's or memory runs out. settings.rgb
// makes 32-bit pixels RGB ones; 24-bit pixels are always written as RGB.
png_idat_stream png_idat_compress(const png_pixel_rows& rows, const png_frame_settings& settings);

// The same in two steps, so that the pixels can be freed before the compressor takes its tables:
// the filtered rows, ...
png_idat_stream png_idat_filter(const png_pixel_rows& rows, const png_frame_settings& settings);
// ... and their zlib stream at that level. The filtered rows are freed as soon as they are
// compressed, whatever the outcome.
png_idat_stream png_idat_deflate(png_idat_stream* filtered, std::int32_t level);

// Frees the stream's bytes and leaves it empty; an empty stream is left alone.
void png_idat_free(png_idat_stream* stream);

} // namespace korvel
