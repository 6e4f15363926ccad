// draw_image_alpha's own rules on top of the shared drawing routine.
#pragma once

#include "drawing/draw_state.h"

#include <cstdint>

namespace korvel {

// Draws a bitmap (never an icon) at its own size, honouring its alpha, with the opacity clamped
// into 0 to 255.
void draw_image_alpha_on(draw_state* state, image_handle_t handle, std::int32_t x, std::int32_t y,
                         std::int32_t opacity);

} // namespace korvel
