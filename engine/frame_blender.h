// How the layers of a frame become one picture: a stack drawn with the over operator at each
// layer's opacity, or a weighted mean of the layers. A blend rule says which steps make a recipe
// and makes the blender that carries them out, so a kind of blending is chosen once, with the
// plan, and the job's loop never asks which one it has.
#pragma once

#include "engine/frame_recipe.h"
#include "engine/work_step.h"
#include "image/bitmap.h"
#include "runtime/object_table.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace korvel {

// What a blender is made for: the canvas's size, the plan's bounds and the threads it may use.
struct blend_setup {
    std::int32_t width;
    std::int32_t height;
    std::int32_t largest_amount;
    std::int64_t most_layers;
    std::int32_t threads;
};

class frame_blender {
public:
    virtual ~frame_blender() = default;

    // False when the blender cannot work at all (memory for a mean's sums ran out).
    virtual bool ready() const = 0;
    // A frame begins on canvas, a transparent 32-bit numbered image; resumed keeps the sums of
    // the frame before.
    virtual void start(obj_number canvas, bool resumed) = 0;
    // Carries out a draw or take_out step with the input's bitmap. False when it could not (a
    // mean whose sums must widen and cannot).
    virtual bool apply(const work_step& step, image_handle_t layer) = 0;
    // Everything applied is in the canvas's pixels.
    virtual void finish() = 0;
    // The job ends in the middle of a frame: nothing more is drawn.
    virtual void abandon() = 0;
};

struct blend_rule {
    // The steps that make recipe next when held (null when none) is the recipe made just before.
    void (*steps)(const frame_recipe* held, const frame_recipe& next, std::vector<work_step>* out);
    std::unique_ptr<frame_blender> (*make)(const blend_setup& setup);
};

// The fading stack: each layer drawn over the canvas at its opacity.
extern const blend_rule stack_blend;
// Weighted means, their colours summed as stored or in linear light; a recipe that shares
// enough of its layers and weights with the one before slides the sums instead of summing anew.
extern const blend_rule mean_blend;
extern const blend_rule linear_mean_blend;

} // namespace korvel
