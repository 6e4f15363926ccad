// Weighted means. The sums are exact integers, so a frame may start from the sums of the frame
// before, taking out the layers it does not share and adding its own, and still come out in the
// same bytes as when summed anew: that is done whenever it loads fewer layers.
#include "engine/frame_blender.h"

#include "engine/render_stats.h"
#include "engine/weighted_mean.h"
#include "image/image.h"

#include <algorithm>
#include <iterator>

namespace korvel {

namespace {

class mean_blender final : public frame_blender {
public:
    mean_blender(const blend_setup& setup, bool linear)
        : mean_(setup.width, setup.height, static_cast<std::uint32_t>(setup.largest_amount),
                setup.most_layers, linear, setup.threads) {}

    bool ready() const override { return mean_.ready(); }

    void start(obj_number canvas, bool resumed) override {
        canvas_ = canvas;
        if (!resumed) mean_.clear();
    }

    bool apply(const work_step& step, image_handle_t layer) override {
        const bitmap* pixels = bitmap_get(layer);
        if (!pixels) return true;
        stage_timer timer(render_stage::composite);
        const auto weight = static_cast<std::uint32_t>(step.amount);
        if (step.kind == step_kind::take_out)
            mean_.remove(*pixels, weight);
        else
            mean_.add(*pixels, weight);
        return mean_.ready();
    }

    void finish() override {
        if (bitmap* canvas = bitmap_get(image_handle(canvas_))) mean_.write(*canvas);
    }

    void abandon() override {}

private:
    weighted_mean mean_;
    obj_number canvas_ = 0;
};

bool by_input_then_weight(const layer_use& a, const layer_use& b) {
    return a.input != b.input ? a.input < b.input : a.amount < b.amount;
}

// The layers with a weight: one of weight 0 changes no sum, so it is not even read.
std::vector<layer_use> weighed_layers(const frame_recipe& recipe) {
    std::vector<layer_use> layers;
    std::copy_if(recipe.layers.begin(), recipe.layers.end(), std::back_inserter(layers),
                 [](const layer_use& layer) { return layer.amount != 0; });
    return layers;
}

// The layers of one list that the other lacks (as multisets of input and weight).
std::vector<layer_use> missing_from(std::vector<layer_use> from, std::vector<layer_use> other) {
    std::sort(from.begin(), from.end(), by_input_then_weight);
    std::sort(other.begin(), other.end(), by_input_then_weight);
    std::vector<layer_use> missing;
    std::set_difference(from.begin(), from.end(), other.begin(), other.end(),
                        std::back_inserter(missing), by_input_then_weight);
    return missing;
}

void add_loads(step_kind kind, std::int32_t frame, const std::vector<layer_use>& layers,
               std::vector<work_step>* out) {
    for (const layer_use& layer : layers)
        out->push_back({kind, frame, layer.input, layer.amount});
}

// Layers leave the sums before others enter, so the sums never hold more than one frame's.
void mean_steps(const frame_recipe* held, const frame_recipe& next, std::vector<work_step>* out) {
    const std::vector<layer_use> layers = weighed_layers(next);
    std::vector<layer_use> leaving, entering;
    if (held) {
        const std::vector<layer_use> before = weighed_layers(*held);
        leaving = missing_from(before, layers);
        entering = missing_from(layers, before);
    }
    const bool slide = held && leaving.size() + entering.size() < layers.size();
    out->push_back({slide ? step_kind::resume : step_kind::begin, next.frame, NO_INPUT, 0});
    if (slide) {
        add_loads(step_kind::take_out, next.frame, leaving, out);
        add_loads(step_kind::draw, next.frame, entering, out);
    } else {
        add_loads(step_kind::draw, next.frame, layers, out);
    }
    out->push_back({step_kind::save, next.frame, NO_INPUT, 0});
}

std::unique_ptr<frame_blender> make_mean(const blend_setup& setup) {
    return std::make_unique<mean_blender>(setup, false);
}

std::unique_ptr<frame_blender> make_linear_mean(const blend_setup& setup) {
    return std::make_unique<mean_blender>(setup, true);
}

} // namespace

const blend_rule mean_blend = {mean_steps, make_mean};
const blend_rule linear_mean_blend = {mean_steps, make_linear_mean};

} // namespace korvel
