// Windows of inputs. A recipe is computed when asked for, so a plan over a long sequence holds
// nothing but its shape and one amount per layer.
#include "engine/stride_plan.h"

#include "engine/frame_blender.h"
#include "engine/job_messages.h"
#include "engine/kept_frames.h"
#include "engine/layer_opacity.h"

#include <algorithm>

namespace korvel {

stride_plan::stride_plan(const stride_shape& shape, std::vector<std::int32_t> amounts,
                         const blend_rule& rule, std::vector<std::int32_t> kept)
    : shape_(shape), amounts_(std::move(amounts)), rule_(rule), kept_(std::move(kept)) {
    if (!amounts_.empty()) largest_ = *std::max_element(amounts_.begin(), amounts_.end());
}

bool stride_plan::recipe(std::int64_t k, frame_recipe* out) const {
    if (k < 0 || k >= shape_.frames) return false;
    out->frame = static_cast<std::int32_t>(shape_.first_frame + k);
    out->kept = std::binary_search(kept_.begin(), kept_.end(), out->frame);
    out->layers.clear();
    if (out->kept) return true;
    const std::int64_t first = shape_.first_input + k * shape_.step;
    const std::int64_t layers = shape_.layers;
    out->layers.reserve(static_cast<std::size_t>(layers));
    for (std::int64_t i = 0; i < layers; ++i) {
        const std::int64_t input = first + (shape_.reverse ? layers - 1 - i : i);
        out->layers.push_back({input, amounts_[static_cast<std::size_t>(i)]});
    }
    return true;
}

std::vector<std::int32_t> ramp_opacities(std::int64_t alpha, std::int64_t layers) {
    std::vector<std::int32_t> opacities;
    opacities.reserve(static_cast<std::size_t>(layers));
    opacity_ramp ramp = opacity_ramp_start(alpha, layers);
    for (std::int64_t i = 0; i < layers; ++i)
        opacities.push_back(opacity_ramp_next(&ramp));
    return opacities;
}

std::int64_t window_frames(std::int64_t inputs, std::int64_t layers, std::int64_t step) {
    return inputs < layers ? 0 : (inputs - layers) / step + 1;
}

} // namespace korvel

namespace korvel {

namespace {

const blend_rule& rule_for(const blur_settings& blur) {
    if (blur.weights.empty()) return stack_blend;
    return blur.linear ? linear_mean_blend : mean_blend;
}

std::vector<std::int32_t> amounts_for(const blur_settings& blur) {
    if (blur.weights.empty()) return ramp_opacities(blur.alpha, blur.layers);
    return {blur.weights.begin(), blur.weights.end()};
}

} // namespace

std::shared_ptr<const frame_plan> plan_windows(const blur_settings& blur, std::int64_t inputs,
                                               const frame_span& span, const frame_sink* resumed,
                                               const char16_t** problem) {
    const bool weighed = !blur.weights.empty();
    if (weighed && static_cast<std::int64_t>(blur.weights.size()) != blur.layers) {
        *problem = JOB_WEIGHTS_NOT_PER_LAYER;
        return nullptr;
    }
    const std::int64_t step = frame_step(blur);
    const bool open_ended = inputs < 0;
    const std::int64_t last =
        open_ended ? span.last
                   : std::min<std::int64_t>(span.last, window_frames(inputs, blur.layers, step));
    const std::int64_t frames = std::max<std::int64_t>(0, last - span.first + 1);
    std::vector<std::int32_t> kept = frames_saved_already(resumed, span.first, last);
    const stride_shape shape{
        (span.first - 1) * step, blur.layers, step, blur.reverse, span.first, frames, open_ended};
    return std::make_shared<stride_plan>(shape,
                                         frames ? amounts_for(blur) : std::vector<std::int32_t>(),
                                         rule_for(blur), std::move(kept));
}

} // namespace korvel
