// Cutting a picture placed at (x, y) to the destination, in the bottom-up row order of both.
#pragma once

#include <cstdint>

namespace korvel {

// The visible part: source column and memory row where it starts, destination column and memory
// row that receive them, and its size.
struct clip_rect {
    std::int32_t src_x;
    std::int32_t src_row;
    std::int32_t dst_x;
    std::int32_t dst_row;
    std::int32_t width;
    std::int32_t rows;
};

// A width x height picture with its top-left pixel at (x, y), y counted from the top, on a
// target_width x target_height destination. False when no pixel of it is visible.
bool clip_to_target(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                    std::int32_t target_width, std::int32_t target_height, clip_rect* clip);

} // namespace korvel
