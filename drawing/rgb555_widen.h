// 16-bit pixels as BMP files store them (5 bits each of blue, green and red, blue lowest)
// widened to 24-bit blue, green, red for drawing.
#pragma once

#include "drawing/pixel_view.h"

namespace korvel {

// A packed 24-bit copy of a 2-byte source (rows width * 3 bytes apart), described in *view;
// null when memory runs out.
pixel_block widen_rgb555(const pixel_view& source, pixel_view* view);

} // namespace korvel
