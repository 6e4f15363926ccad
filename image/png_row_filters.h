// PNG's row filters: each byte of a row stored as its difference from a guess made of the bytes to
// its left, above and above-left, so that smooth pictures turn into runs of small numbers that
// deflate shrinks well.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

// The filter type byte in front of each row in the file.
enum class png_filter_type : std::uint8_t { none = 0, sub = 1, up = 2, average = 3, paeth = 4 };

// A row of size bytes, a whole number (at least one) of pixels of bytes_per_pixel (3 or 4), and
// the row above it in the file, which is zeros for the top row.
struct png_filter_input {
    const std::uint8_t* row;
    const std::uint8_t* prior;
    std::size_t size;
    std::int32_t bytes_per_pixel;
};

// Writes the row's size filtered bytes to out, which must not overlap the input rows.
void png_filter_row(png_filter_type type, const png_filter_input& input, std::uint8_t* out);

// Writes the row filtered by whichever type makes the smallest sum of its bytes' magnitudes, the
// bytes read as signed, and returns that type; a tie goes to the lower type. scratch holds size
// bytes and overlaps nothing else.
png_filter_type png_filter_row_adaptive(const png_filter_input& input, std::uint8_t* out,
                                        std::uint8_t* scratch);

} // namespace korvel
