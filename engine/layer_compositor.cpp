// Any run of a plan's rows can be drawn on its own, which is what lets row_parts split a layer.
#include "engine/layer_compositor.h"

#include "drawing/blit_plan.h"
#include "drawing/draw.h"
#include "engine/render_stats.h"

namespace korvel {

layer_compositor::layer_compositor(std::int32_t threads) : parts_(threads) {}

void layer_compositor::draw(image_handle_t layer, std::int32_t opacity) {
    stage_timer timer(render_stage::composite);
    blit_plan plan{};
    if (!draw_image_alpha_plan(layer, 0, 0, opacity, &plan)) {
        draw_image_alpha(layer, 0, 0, opacity);
        return;
    }
    parts_.run(plan.rows, plan.width, [&plan](std::int32_t first, std::int32_t end) {
        blit_rows(plan, first, end - first);
    });
}

} // namespace korvel
