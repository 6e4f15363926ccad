// draw_image_alpha accepts bitmaps only and clamps the opacity: the render job hands over values
// above 255 or below 0 when its alpha level lies outside that range, and the pixel arithmetic is
// exact only within it.
#include "drawing/image_alpha.h"

#include "drawing/draw_bitmap.h"

#include <algorithm>

namespace korvel {
namespace {

std::int32_t clamped(std::int32_t opacity) {
    return std::clamp(opacity, 0, 255);
}

} // namespace

void draw_image_alpha_on(draw_state* state, image_handle_t handle, std::int32_t x, std::int32_t y,
                         std::int32_t opacity) {
    if (object_type(handle) == OBJ_BITMAP)
        draw_bitmap(*state, handle, x, y, -1, -1, clamped(opacity), true);
}

std::int32_t draw_image_alpha_plan(image_handle_t handle, std::int32_t x, std::int32_t y,
                                   std::int32_t opacity, blit_plan* plan) {
    const draw_state* state = draw_current_state();
    const bool planned = state != nullptr && object_type(handle) == OBJ_BITMAP &&
                         plan_direct(*state, handle, x, y, clamped(opacity), true, plan);
    return planned ? 1 : 0;
}

} // namespace korvel
