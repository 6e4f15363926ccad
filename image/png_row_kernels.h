// The hot loops of PNG reading and writing: a row's filter undone in place, then its samples
// written out as bitmap pixels (blue, green, red, and alpha where the file has it); and for
// writing, pixels turned into samples. Several instruction-set builds exist, chosen once for the
// processor; all give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

// Bytes that the unfilter kernels may read past the end of the rows they are given (never
// write): those rows must be followed by that many readable bytes. The conversions read and
// write only their pixels.
inline constexpr std::size_t PNG_ROW_READ_SLACK = 16;

// Undoes one filter type on a row of size bytes, a whole number of pixels, in place; prior is the
// row above as already unfiltered (zeros for the top row).
using png_unfilter_row = void (*)(std::uint8_t* row, const std::uint8_t* prior, std::size_t size);

// Writes width pixels of unfiltered samples to out as the bitmap holds them; the palette (palette
// files only) is 256 entries of blue, green, red and a fourth byte, unused ones zero. Red and blue
// changing places is its own inverse, so the RGB and RGBA ones also turn bitmap pixels into a
// file's samples.
using png_convert_row = void (*)(const std::uint8_t* samples, std::int32_t width,
                                 const std::uint8_t* palette, std::uint8_t* out);

// Writes width 4-byte pixels (blue, green, red, straight alpha a) composited over the background
// (0xRRGGBB) as red, green and blue samples, each (channel * a + background * (255 - a) + 127)
// / 255: rounded to nearest, so that an opaque pixel keeps its colour and a clear one takes the
// background's.
using png_composite_row = void (*)(const std::uint8_t* pixels, std::int32_t width,
                                   std::uint32_t background, std::uint8_t* out);

struct png_row_kernels {
    const char* name;
    // By filter type (sub, up, average, Paeth: types 1 to 4) and bytes per pixel (1 to 4).
    png_unfilter_row unfilter[4][4];
    png_convert_row grey_to_bgr;
    png_convert_row rgb_to_bgr;
    png_convert_row palette_to_bgr;
    png_convert_row grey_alpha_to_bgra;
    png_convert_row rgba_to_bgra;
    png_composite_row bgra_over_to_rgb;
};

// The fastest set this processor runs, chosen once.
const png_row_kernels& png_row_kernels_chosen();

// Every set this processor runs (the baseline first), so that they can be held to one another.
std::int32_t png_row_kernels_count();
const png_row_kernels& png_row_kernels_at(std::int32_t index);

} // namespace korvel
