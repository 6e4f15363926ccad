// Drawing one layer onto the job's canvas with its opacity, split by rows across the pool's
// threads when the layer is large: each row is blended on its own, so the bytes are those of one
// pass whatever the split.
#pragma once

#include "engine/row_parts.h"
#include "image/bitmap.h"

#include <cstdint>

namespace korvel {

class layer_compositor {
public:
    // Splits into at most 4 parts per thread; one thread draws every layer itself.
    explicit layer_compositor(std::int32_t threads);

    // What draw_image_alpha(layer, 0, 0, opacity) does on the calling thread's drawing target.
    void draw(image_handle_t layer, std::int32_t opacity);

private:
    row_parts parts_;
};

} // namespace korvel
