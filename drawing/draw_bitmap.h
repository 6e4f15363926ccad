// The shared routine behind draw_image, draw_image_sized and draw_image_alpha: from an image
// handle to the rows to draw, through a converted copy where the source needs one.
#pragma once

#include "drawing/blit_plan.h"
#include "drawing/draw_state.h"

#include <cstdint>

namespace korvel {

// Draws handle's picture with its top-left pixel at (x, y), scaled to width x height (-1 across:
// the source's own size; -1 down: its own height). Icons draw through their colour rows with
// alpha. opacity is 0 to 255.
void draw_bitmap(const draw_state& state, image_handle_t handle, std::int32_t x, std::int32_t y,
                 std::int32_t width, std::int32_t height, std::int32_t opacity, bool with_alpha);

// The plan of drawing handle's bitmap at its own size straight from its pixels; false when that
// draws nothing or needs a converted copy.
bool plan_direct(const draw_state& state, image_handle_t handle, std::int32_t x, std::int32_t y,
                 std::int32_t opacity, bool with_alpha, blit_plan* plan);

} // namespace korvel
