// What a render from the command line is asked to make, as plain values: how the inputs are
// blended, which output frames are made, and how they are written.
#pragma once

#include "image/png_codec.h"

#include <cstdint>
#include <limits>
#include <vector>

namespace korvel {

struct blur_settings {
    std::int64_t layers = 100; // L: inputs in each output frame
    std::int64_t alpha = 255;  // the fading stack's alpha levels
    bool reverse = false;      // each window drawn from its last input to its first
    std::int64_t step = 0;     // from one frame's first input to the next one's; 0: L
    // A weighted mean instead of the fading stack: one weight per layer, in drawing order.
    std::vector<std::uint32_t> weights;
    bool linear = false; // the mean's colours are summed in linear light
};

// The inputs from one output frame's first input to the next one's.
inline std::int64_t frame_step(const blur_settings& blur) {
    return blur.step ? blur.step : blur.layers;
}

// The output frames to make, numbered from 1 as in a full render.
struct frame_span {
    std::int32_t first = 1;
    std::int32_t last = std::numeric_limits<std::int32_t>::max();
};

struct output_settings {
    png_frame_settings png;    // how PNG files are written
    std::int32_t rate_num = 0; // a clip's frames per second; 0: from the input
    std::int32_t rate_den = 1;
    std::uint32_t background = 0; // 0xRRGGBB under frames of a clip kind without alpha
    bool skip_existing = false;   // frames whose files exist are not made again
};

} // namespace korvel
