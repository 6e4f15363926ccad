// The fading stack: every layer of a recipe drawn in order over a fresh canvas, at its opacity.
#include "engine/frame_blender.h"

#include "drawing/draw.h"
#include "engine/layer_compositor.h"
#include "image/image.h"

namespace korvel {

namespace {

class stack_blender final : public frame_blender {
public:
    explicit stack_blender(std::int32_t threads)
        : compositor_(std::make_unique<layer_compositor>(threads)) {}

    bool ready() const override { return true; }

    void start(obj_number canvas, bool) override {
        drawing_ = draw_start(image_output(canvas)) != 0;
        draw_mode(0);
    }

    bool apply(const work_step& step, image_handle_t layer) override {
        compositor_->draw(layer, step.amount);
        return true;
    }

    void finish() override { abandon(); }

    void abandon() override {
        if (drawing_) draw_stop();
        drawing_ = false;
    }

private:
    // Held apart: its pool's end may throw, which a blender's end may not.
    std::unique_ptr<layer_compositor> compositor_;
    bool drawing_ = false;
};

void stack_steps(const frame_recipe*, const frame_recipe& next, std::vector<work_step>* out) {
    out->push_back({step_kind::begin, next.frame, NO_INPUT, 0});
    for (const layer_use& layer : next.layers)
        out->push_back({step_kind::draw, next.frame, layer.input, layer.amount});
    out->push_back({step_kind::save, next.frame, NO_INPUT, 0});
}

std::unique_ptr<frame_blender> make_stack(const blend_setup& setup) {
    return std::make_unique<stack_blender>(setup.threads);
}

} // namespace

const blend_rule stack_blend = {stack_steps, make_stack};

} // namespace korvel
