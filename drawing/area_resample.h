// Scaling by area averaging: each output pixel is the mean of the source area it covers, every
// source pixel weighted by the exact fraction of it that lies under the output pixel.
#pragma once

#include "drawing/pixel_view.h"

#include <cstdint>

namespace korvel {

// A rectangle of the scaled picture in memory order: first column, first memory row, size.
struct pixel_region {
    std::int32_t x;
    std::int32_t row;
    std::int32_t width;
    std::int32_t rows;
};

// Writes part of source scaled to out_width x out_height (each 1 to 32767) into out, rows
// out_pitch bytes apart, with the source's pixel size (3 or 4 bytes; every byte averaged on its
// own). Integer arithmetic, each result rounded to nearest.
void resample_area(const pixel_view& source, std::int32_t out_width, std::int32_t out_height,
                   const pixel_region& part, std::uint8_t* out, std::int32_t out_pitch);

} // namespace korvel
