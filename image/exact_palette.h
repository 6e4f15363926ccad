// The colours of a picture that needs no reduction: when it holds no more distinct pixel values
// than the palette has entries, those values are the palette, and every pixel keeps its colour.
#pragma once

#include <cstdint>

namespace korvel {

// Collects the distinct 4-byte pixels (height rows of width pixels, stride bytes apart) in the
// order they first occur, into palette (room for limit entries, limit at most 256). Returns
// their number, or 0 when there are more than limit.
std::int32_t exact_palette(const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                           std::int32_t stride, std::int32_t limit, std::uint8_t* palette);

} // namespace korvel
