// Clipping in memory-row terms: the picture's bottom row lands on destination memory row
// H - y - h. Worked in 64 bits so that any placement, however far off, stays exact.
#include "drawing/clip.h"

namespace korvel {

bool clip_to_target(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                    std::int32_t target_width, std::int32_t target_height, clip_rect* clip) {
    std::int64_t w = width, h = height, dx = x;
    std::int64_t sx = 0, sy = 0;
    std::int64_t dy = static_cast<std::int64_t>(target_height) - y - height;
    if (dx < 0) {
        w += dx;
        sx = -dx;
        dx = 0;
    }
    if (dy < 0) { // the picture's bottom rows fall below the destination
        h += dy;
        sy = -dy;
        dy = 0;
    }
    if (dx + w > target_width) w = target_width - dx;
    if (dy + h > target_height) h = target_height - dy; // its top rows rise above it
    if (w <= 0 || h <= 0) return false;
    *clip = {static_cast<std::int32_t>(sx), static_cast<std::int32_t>(sy),
             static_cast<std::int32_t>(dx), static_cast<std::int32_t>(dy),
             static_cast<std::int32_t>(w),  static_cast<std::int32_t>(h)};
    return true;
}

} // namespace korvel
