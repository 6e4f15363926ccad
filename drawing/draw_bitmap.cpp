// Source preparation, clipping and the choice of pixel routine. A 24- or 32-bit bitmap at its own
// size is drawn straight from its pixels; a 16-bit one, or any source drawn at another size, goes
// through a copy made for the call, of the visible part only where it is scaled.
#include "drawing/draw_bitmap.h"

#include "drawing/area_resample.h"
#include "drawing/clip.h"
#include "drawing/pixel_routines.h"
#include "drawing/rgb555_widen.h"

#include <cstddef>

namespace korvel {
namespace {

constexpr std::int32_t max_side = 32767;

// The pixels to draw from; icons give their 32-bit colour rows and always honour alpha.
bool source_of(image_handle_t handle, pixel_view* view, bool* with_alpha) {
    const bitmap* object = bitmap_get(handle);
    if (object == nullptr) return false;
    if (object->type == OBJ_ICON) {
        *view = {object->icon_pixels, object->width, object->height, 4, object->width * 4};
        *with_alpha = true;
        return object->icon_pixels != nullptr;
    }
    *view = {object->pixels, object->width, object->height, object->depth / 8, object->stride};
    const bool drawable_depth = object->depth == 16 || object->depth == 24 || object->depth == 32;
    return object->type == OBJ_BITMAP && object->pixels != nullptr && drawable_depth;
}

// The image may have been freed since the session began; its handle then names nothing and its
// pixels must not be written.
bool target_alive(const draw_state& state) {
    return bitmap_get(state.bitmap) != nullptr;
}

bool requested_size(const pixel_view& source, std::int32_t width, std::int32_t height,
                    std::int32_t* out_width, std::int32_t* out_height) {
    *out_width = width == -1 ? source.width : width;
    *out_height = width == -1 || height == -1 ? source.height : height;
    return *out_width >= 1 && *out_width <= max_side && *out_height >= 1 && *out_height <= max_side;
}

bool plan_from(const draw_state& state, const pixel_view& source, const clip_rect& clip,
               std::int32_t opacity, bool with_alpha, blit_plan* plan) {
    const draw_target& target = state.target;
    const row_routine routine = choose_row_routine(state.mode, source.bytes_per_pixel,
                                                   target.bytes_per_pixel, with_alpha, opacity);
    if (routine == nullptr) return false;
    *plan = {target.pixels + static_cast<std::ptrdiff_t>(clip.dst_row) * target.pitch +
                 static_cast<std::ptrdiff_t>(clip.dst_x) * target.bytes_per_pixel,
             target.pitch,
             source.pixels + static_cast<std::ptrdiff_t>(clip.src_row) * source.pitch +
                 static_cast<std::ptrdiff_t>(clip.src_x) * source.bytes_per_pixel,
             source.pitch,
             clip.width,
             clip.rows,
             routine,
             {opacity, clip.dst_x, target.height - 1 - clip.dst_row, state.callback}};
    return true;
}

void run(const draw_state& state, const pixel_view& source, const clip_rect& clip,
         std::int32_t opacity, bool with_alpha) {
    blit_plan plan;
    if (plan_from(state, source, clip, opacity, with_alpha, &plan)) blit_rows(plan, 0, plan.rows);
}

void draw_direct(const draw_state& state, const pixel_view& source, std::int32_t x, std::int32_t y,
                 std::int32_t opacity, bool with_alpha) {
    clip_rect clip;
    if (clip_to_target(x, y, source.width, source.height, state.target.width, state.target.height,
                       &clip))
        run(state, source, clip, opacity, with_alpha);
}

// Only the part of the scaled picture that lands on the destination is computed, so the copy
// never exceeds the destination whatever size is asked for.
void draw_scaled(const draw_state& state, const pixel_view& source, std::int32_t x, std::int32_t y,
                 std::int32_t width, std::int32_t height, std::int32_t opacity, bool with_alpha) {
    clip_rect clip;
    if (!clip_to_target(x, y, width, height, state.target.width, state.target.height, &clip))
        return;
    const std::int32_t pitch = clip.width * source.bytes_per_pixel;
    const pixel_block block = allocate_pixels(static_cast<std::size_t>(pitch) * clip.rows);
    if (!block) return;
    resample_area(source, width, height, {clip.src_x, clip.src_row, clip.width, clip.rows},
                  block.get(), pitch);
    const pixel_view part{block.get(), clip.width, clip.rows, source.bytes_per_pixel, pitch};
    clip_rect local = clip;
    local.src_x = 0;
    local.src_row = 0;
    run(state, part, local, opacity, with_alpha);
}

} // namespace

void draw_bitmap(const draw_state& state, image_handle_t handle, std::int32_t x, std::int32_t y,
                 std::int32_t width, std::int32_t height, std::int32_t opacity, bool with_alpha) {
    pixel_view source;
    std::int32_t out_width, out_height;
    if (!target_alive(state) || !source_of(handle, &source, &with_alpha) ||
        !requested_size(source, width, height, &out_width, &out_height))
        return;
    pixel_block widened;
    if (source.bytes_per_pixel == 2) {
        pixel_view wide;
        widened = widen_rgb555(source, &wide);
        if (!widened) return;
        source = wide;
    }
    if (out_width == source.width && out_height == source.height)
        draw_direct(state, source, x, y, opacity, with_alpha);
    else
        draw_scaled(state, source, x, y, out_width, out_height, opacity, with_alpha);
}

bool plan_direct(const draw_state& state, image_handle_t handle, std::int32_t x, std::int32_t y,
                 std::int32_t opacity, bool with_alpha, blit_plan* plan) {
    pixel_view source;
    clip_rect clip;
    return target_alive(state) && source_of(handle, &source, &with_alpha) &&
           source.bytes_per_pixel != 2 &&
           clip_to_target(x, y, source.width, source.height, state.target.width,
                          state.target.height, &clip) &&
           plan_from(state, source, clip, opacity, with_alpha, plan);
}

} // namespace korvel
