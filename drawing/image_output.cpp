// Images as drawing targets: image_output and the image output's table of operations.
#include "drawing/draw.h"
#include "drawing/draw_bitmap.h"
#include "drawing/draw_state.h"
#include "drawing/image_alpha.h"
#include "image/image.h"

#include <new>

namespace korvel {
namespace {

// The pixel callback until one is set: every pixel keeps its destination colour.
std::uint32_t keep_destination(std::int32_t, std::int32_t, std::uint32_t,
                               std::uint32_t destination) {
    return destination;
}

// Copying with alpha overrides the blending bits, and needs an alpha byte to copy into.
void set_mode(draw_state* state, std::uint32_t mode) {
    if ((mode & MODE_COPY_WITH_ALPHA) != 0) {
        mode &= ~(MODE_WRITE_ALPHA_ONLY | MODE_OVER | MODE_OVER_KEEP_ALPHA);
        if (state->target.bytes_per_pixel == 3) mode &= ~MODE_COPY_WITH_ALPHA;
    }
    state->mode = mode;
}

void draw_image_opaque(draw_state* state, image_handle_t handle, std::int32_t x, std::int32_t y) {
    draw_bitmap(*state, handle, x, y, -1, -1, 255, false);
}

void draw_image_scaled(draw_state* state, image_handle_t handle, std::int32_t x, std::int32_t y,
                       std::int32_t width, std::int32_t height) {
    draw_bitmap(*state, handle, x, y, width, height, 255, false);
}

// The state itself stands for the session: it is non-zero and names it.
std::intptr_t start(draw_state* state) {
    return state->target.pixels == nullptr ? 0 : reinterpret_cast<std::intptr_t>(state);
}

// An image output holds nothing besides its state: its pixels stay with the image.
void stop(draw_state*) {}
void end_session(draw_state*, std::int32_t) {}

constexpr draw_operations image_output_operations = {
    set_mode, draw_image_opaque, draw_image_scaled, draw_image_alpha_on, start, stop, end_session};

// Drawing writes whole 3- or 4-byte pixels, so only those depths can be targets.
const bitmap* drawable_bitmap(const image_record* record) {
    const bitmap* object = record == nullptr ? nullptr : bitmap_get(record->handle);
    const bool usable = object != nullptr && object->type == OBJ_BITMAP &&
                        object->pixels != nullptr && (object->depth == 24 || object->depth == 32);
    return usable ? object : nullptr;
}

} // namespace

draw_state* image_output(obj_number n) {
    const image_record* record = image_lookup(n);
    const bitmap* object = drawable_bitmap(record);
    if (object == nullptr) return nullptr;
    auto* state = new (std::nothrow) draw_state{};
    if (state == nullptr) return nullptr;
    state->target = {object->pixels, object->width, object->height, object->stride,
                     object->depth / 8};
    state->bitmap = record->handle;
    state->callback = keep_destination;
    state->operations = &image_output_operations;
    set_mode(state, 0);
    draw_install_state(state);
    return state;
}

} // namespace korvel
