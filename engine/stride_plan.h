// Plans counted in inputs: each frame a window of L consecutive inputs, the windows' first inputs
// a step apart (a step of L gives the window's consecutive groups). Every layer of a window has
// the amount of its place in the drawing order: the opacities of the fading ramp, or the
// weights of a mean.
#pragma once

#include "engine/frame_plan.h"
#include "engine/frame_sink.h"
#include "engine/render_settings.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace korvel {

struct stride_shape {
    std::int64_t first_input; // recipe 0's window starts at this input
    std::int64_t layers;      // L, at least 1
    std::int64_t step;        // from one window's first input to the next one's, at least 1
    bool reverse;             // each window drawn from its last input to its first
    std::int32_t first_frame; // recipe 0's frame number
    std::int64_t frames;      // recipes, at most when open_ended
    bool open_ended;          // the inputs may end before: a stream of unknown length
};

class stride_plan final : public frame_plan {
public:
    // amounts holds one amount per layer, in drawing order; kept the frame numbers whose outputs
    // exist already, in increasing order.
    stride_plan(const stride_shape& shape, std::vector<std::int32_t> amounts,
                const blend_rule& rule, std::vector<std::int32_t> kept = {});

    std::int64_t size() const override { return shape_.open_ended ? UNKNOWN_SIZE : shape_.frames; }
    bool recipe(std::int64_t k, frame_recipe* out) const override;
    const blend_rule& rule() const override { return rule_; }
    std::int64_t most_layers() const override { return shape_.layers; }
    std::int32_t largest_amount() const override { return largest_; }

private:
    stride_shape shape_;
    std::vector<std::int32_t> amounts_;
    const blend_rule& rule_;
    std::vector<std::int32_t> kept_;
    std::int32_t largest_ = 0;
};

// The opacities of a stack of layers layers under alpha levels alpha: the first 255, then
// A - A/L, A - 2A/L, ... as the fading ramp computes them.
std::vector<std::int32_t> ramp_opacities(std::int64_t alpha, std::int64_t layers);

// The windows of layers inputs, step apart, that inputs inputs make: every window whose last
// input exists (none for fewer inputs than layers). Layers and step are at least 1.
std::int64_t window_frames(std::int64_t inputs, std::int64_t layers, std::int64_t step);

// The plan of blur over inputs inputs (negative: unknown, a stream): the frames of span among
// every window whose last input exists. With resumed, a frame it holds already is kept. Null, with
// problem set, when the weights are not one per layer.
std::shared_ptr<const frame_plan> plan_windows(const blur_settings& blur, std::int64_t inputs,
                                               const frame_span& span, const frame_sink* resumed,
                                               const char16_t** problem);

} // namespace korvel
