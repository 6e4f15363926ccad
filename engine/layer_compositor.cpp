// Row-split compositing. Layers below a quarter of a million pixels are drawn on the calling
// thread: handing them out costs more than it saves.
#include "engine/layer_compositor.h"

#include "drawing/blit_plan.h"
#include "drawing/draw.h"
#include "engine/pool_task.h"
#include "engine/render_stats.h"

#include <oneapi/tbb/task_arena.h>

#include <new>

namespace korvel {
namespace {

constexpr std::int64_t smallest_split_layer = 1 << 18; // pixels
constexpr std::int32_t parts_per_thread = 4;

} // namespace

layer_compositor::layer_compositor(std::int32_t threads)
    : parts_(threads > 1 ? threads * parts_per_thread : 1),
      drawn_(parts_ > 1 ? new (std::nothrow) std::atomic<bool>[parts_] : nullptr) {
    if (!drawn_) parts_ = 1;
}

void layer_compositor::draw(image_handle_t layer, std::int32_t opacity) {
    stage_timer timer(render_stage::composite);
    blit_plan plan{};
    if (!draw_image_alpha_plan(layer, 0, 0, opacity, &plan)) {
        draw_image_alpha(layer, 0, 0, opacity);
        return;
    }
    const bool large = static_cast<std::int64_t>(plan.width) * plan.rows >= smallest_split_layer;
    if (parts_ > 1 && large && plan.rows >= parts_)
        draw_rows_in_parts(plan);
    else
        blit_rows(plan, 0, plan.rows);
}

// The caller draws the first part while the pool takes the others. Its wait runs in an isolated
// region: meanwhile it takes no other pool work (a frame to encode, say) that would hold up the
// layers still to come. Reading each part's flag afterwards also orders the pool's rows before
// whatever the caller does next.
void layer_compositor::draw_rows_in_parts(const blit_plan& plan) {
    const std::int32_t rows_per_part = (plan.rows + parts_ - 1) / parts_;
    const auto draw_part = [this, &plan, rows_per_part](std::int32_t part) {
        blit_rows(plan, part * rows_per_part, rows_per_part);
        drawn_[part].store(true, std::memory_order_release);
    };
    for (std::int32_t part = 0; part < parts_; ++part)
        drawn_[part].store(false, std::memory_order_relaxed);
    tbb::this_task_arena::isolate([&] {
        try {
            for (std::int32_t part = 1; part < parts_; ++part)
                pool_run(pool_, [&draw_part, part] { draw_part(part); });
        } catch (...) {
            // The parts not handed over are drawn below.
        }
        draw_part(0);
        pool_.wait();
    });
    for (std::int32_t part = 0; part < parts_; ++part)
        if (!drawn_[part].load(std::memory_order_acquire)) draw_part(part);
}

} // namespace korvel
