// Drawing one layer onto the job's canvas with its opacity, split by rows across the pool's
// threads when the layer is large: each row is blended on its own, so the bytes are those of one
// pass whatever the split.
#pragma once

#include "image/bitmap.h"

#include <oneapi/tbb/task_group.h>

#include <atomic>
#include <cstdint>
#include <memory>

namespace korvel {

struct blit_plan;

class layer_compositor {
public:
    // Splits into at most 4 parts per thread; one thread draws every layer itself.
    explicit layer_compositor(std::int32_t threads);

    // What draw_image_alpha(layer, 0, 0, opacity) does on the calling thread's drawing target.
    void draw(image_handle_t layer, std::int32_t opacity);

private:
    void draw_rows_in_parts(const blit_plan& plan);

    std::int32_t parts_;
    // One flag per part, set once its rows are drawn: a part the pool could not take is drawn
    // by the caller, and no row is drawn twice.
    std::unique_ptr<std::atomic<bool>[]> drawn_;
    tbb::task_group pool_;
};

} // namespace korvel
