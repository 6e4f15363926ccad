// The opacities of a frame's layers and the job's progress, in the exact float arithmetic the
// frames depend on: the first layer at 255, then A - step, A - 2 * step, ... with step = A / L,
// accumulated in 32-bit floats and rounded half away from zero.
#pragma once

#include <cstdint>

namespace korvel {

struct opacity_ramp {
    float alpha; // the next trailing layer's opacity before rounding
    float step;
    bool first; // the next layer is the frame's first
};

// A ramp for alpha levels A and L layers per frame (L at least 1).
opacity_ramp opacity_ramp_start(std::int64_t alpha_levels, std::int64_t layers);

// The opacity of the next layer (not clamped: A outside 0..255 gives values outside it), then
// steps the ramp.
std::int32_t opacity_ramp_next(opacity_ramp* ramp);

// 100 / (total / L) * frame, evaluated in double, stored as a float and rounded to the nearest
// whole number, ties to even.
std::int32_t job_progress(std::int64_t total, std::int64_t layers, std::int32_t frame);

} // namespace korvel
