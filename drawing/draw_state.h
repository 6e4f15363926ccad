// The drawing state behind a session, internal to the drawing library: the target's pixel memory,
// the current mode and the table of operations of the output kind.
#pragma once

#include "drawing/blit_plan.h"
#include "image/bitmap.h"

#include <cstdint>

namespace korvel {

struct draw_state;

// What an output kind provides; each operation takes its state first.
struct draw_operations {
    void (*set_mode)(draw_state* state, std::uint32_t mode);
    void (*draw_image)(draw_state* state, image_handle_t handle, std::int32_t x, std::int32_t y);
    void (*draw_image_sized)(draw_state* state, image_handle_t handle, std::int32_t x,
                             std::int32_t y, std::int32_t width, std::int32_t height);
    void (*draw_image_alpha)(draw_state* state, image_handle_t handle, std::int32_t x,
                             std::int32_t y, std::int32_t opacity);
    std::intptr_t (*start)(draw_state* state); // non-zero when drawing may begin
    void (*stop)(draw_state* state);           // the output's part of draw_stop
    // Releases what the output holds; finished is 1 from draw_stop, 0 after a failed start.
    void (*end_session)(draw_state* state, std::int32_t finished);
};

// Bottom-up rows of the destination.
struct draw_target {
    std::uint8_t* pixels;
    std::int32_t width;
    std::int32_t height;
    std::int32_t pitch;
    std::int32_t bytes_per_pixel; // 4 or 3
};

struct draw_state {
    draw_target target;
    image_handle_t bitmap; // the bitmap that owns target.pixels; not owned by the state
    std::uint32_t mode;
    pixel_callback callback;
    const draw_operations* operations;
};

// The calling thread's state, or null.
draw_state* draw_current_state();

// Makes state the calling thread's current one; a state that was there is ended first.
void draw_install_state(draw_state* state);

} // namespace korvel
