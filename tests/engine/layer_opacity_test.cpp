// Layer opacities and job progress against the reference's plain float arithmetic, for every
// length of ramp and every frame of a job up to a few hundred: the steps such as 255 / 7 that a
// float does not hold exactly must carry the rounding of each subtraction before them.
#include "engine/layer_opacity.h"
#include "tests/support/reference_blur.h"

#include <gtest/gtest.h>

namespace korvel::test {
namespace {

TEST(layer_opacity, ramp_follows_the_float_accumulation_inside_and_outside_0_to_255) {
    for (const std::int64_t alpha_levels : {-100, 0, 1, 7, 99, 100, 128, 200, 254, 255, 300}) {
        for (std::int64_t layers = 1; layers <= 300; ++layers) {
            opacity_ramp ramp = opacity_ramp_start(alpha_levels, layers);
            std::vector<std::int32_t> opacities;
            for (std::int64_t i = 0; i < layers; ++i)
                opacities.push_back(opacity_ramp_next(&ramp));
            ASSERT_EQ(opacities, reference_opacities(alpha_levels, layers))
                << "A = " << alpha_levels << ", L = " << layers;
        }
    }
}

TEST(job_progress, follows_the_double_then_float_arithmetic_with_halves_to_even) {
    for (std::int64_t total = 1; total <= 150; ++total)
        for (std::int64_t layers = 1; layers <= total; ++layers)
            for (std::int32_t frame = 1; frame <= total / layers; ++frame)
                ASSERT_EQ(job_progress(total, layers, frame),
                          reference_progress(total, layers, frame))
                    << total << " images, L = " << layers << ", frame " << frame;
}

} // namespace
} // namespace korvel::test
