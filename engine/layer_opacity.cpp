// Layer opacities and job progress.
#include "engine/layer_opacity.h"

#include "runtime/numeric.h"

#include <cmath>
#include <limits>

namespace korvel {

namespace {

// Float to int32 without the undefined behaviour of an out-of-range conversion.
std::int32_t saturate_to_int32(float value) {
    constexpr float lowest = static_cast<float>(std::numeric_limits<std::int32_t>::min());
    constexpr float beyond_highest = -lowest;
    if (std::isnan(value)) return 0;
    if (value < lowest) return std::numeric_limits<std::int32_t>::min();
    if (value >= beyond_highest) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value);
}

} // namespace

opacity_ramp opacity_ramp_start(std::int64_t alpha_levels, std::int64_t layers) {
    const double step = static_cast<double>(alpha_levels) / static_cast<double>(layers);
    return {static_cast<float>(alpha_levels), static_cast<float>(step), true};
}

std::int32_t opacity_ramp_next(opacity_ramp* ramp) {
    const std::int32_t opacity = ramp->first ? 255 : saturate_to_int32(round_float(ramp->alpha, 2));
    ramp->alpha = ramp->alpha - ramp->step;
    ramp->first = false;
    return opacity;
}

std::int32_t job_progress(std::int64_t total, std::int64_t layers, std::int32_t frame) {
    const double frames = static_cast<double>(total) / static_cast<double>(layers);
    const float percent = static_cast<float>(100.0 / frames * frame);
    return saturate_to_int32(std::nearbyint(percent));
}

} // namespace korvel
