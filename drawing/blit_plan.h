// A drawing reduced to its rows: one pixel routine applied to a clipped rectangle, source row i
// onto destination row i in memory order. Rows are independent of one another, so a caller may
// run disjoint ranges of them on different threads and get the bytes of one pass.
#pragma once

#include "image/bitmap.h"

#include <cstdint>

namespace korvel {

// Called per pixel in MODE_PIXEL_CALLBACK with the destination position (y counted from the top)
// and both colours packed red, green, blue, alpha from the low byte up; returns the new colour.
using pixel_callback = std::uint32_t (*)(std::int32_t x, std::int32_t y, std::uint32_t source,
                                         std::uint32_t destination);

// What a row routine needs besides its pixels: x and y of the row's first destination pixel.
struct row_context {
    std::int32_t opacity;
    std::int32_t x;
    std::int32_t y;
    pixel_callback callback;
};

using row_routine = void (*)(std::uint8_t* dst, const std::uint8_t* src, std::int32_t count,
                             const row_context& context);

struct blit_plan {
    std::uint8_t* dst;       // first pixel of the first destination row
    std::int32_t dst_pitch;  // bytes from one memory row to the next (upwards in the picture)
    const std::uint8_t* src; // first pixel of the first source row
    std::int32_t src_pitch;
    std::int32_t width; // pixels per row
    std::int32_t rows;
    row_routine routine;
    row_context context; // y is that of the first row; each later row lies one higher
};

// Runs rows first to first + count - 1 of the plan (cut to the plan's rows).
void blit_rows(const blit_plan& plan, std::int32_t first, std::int32_t count);

// The work of draw_image_alpha(handle, x, y, opacity) on the calling thread's drawing state as a
// plan, when it runs straight from the bitmap's own pixels; the bitmap must then stay alive and
// the state in place until the rows are done. 1 with *plan filled, or 0 when draw_image_alpha
// itself is to be called (it draws nothing, or draws through a converted copy).
std::int32_t draw_image_alpha_plan(image_handle_t handle, std::int32_t x, std::int32_t y,
                                   std::int32_t opacity, blit_plan* plan);

} // namespace korvel
