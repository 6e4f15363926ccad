// The render engine's arithmetic on its own: layer opacities and job progress, against the worked
// values and against the plain float arithmetic written out in the test.
#include "blur_reference.h"

#include "engine/layer_opacity.h"

#include <gtest/gtest.h>

#include <vector>

namespace korvel::app_test {
namespace {

std::vector<std::int32_t> ramp_of(std::int64_t alpha_levels, std::int64_t layers) {
    opacity_ramp ramp = opacity_ramp_start(alpha_levels, layers);
    std::vector<std::int32_t> opacities;
    for (std::int64_t i = 0; i < layers; ++i)
        opacities.push_back(opacity_ramp_next(&ramp));
    return opacities;
}

TEST(layer_opacity, WorkedOpacitiesOfFourLayersAndOfTheDefaultHundred) {
    EXPECT_EQ(ramp_of(255, 4), (std::vector<std::int32_t>{255, 191, 128, 64}));
    const std::vector<std::int32_t> defaults = ramp_of(255, 100);
    EXPECT_EQ(defaults[0], 255);
    EXPECT_EQ(defaults[1], 252);
    EXPECT_EQ(defaults[99], 3);
}

TEST(layer_opacity, FirstLayerIsOpaqueWhateverTheAlphaLevels) {
    EXPECT_EQ(ramp_of(100, 4), (std::vector<std::int32_t>{255, 75, 50, 25}));
    EXPECT_EQ(ramp_of(0, 3), (std::vector<std::int32_t>{255, 0, 0}));
    EXPECT_EQ(ramp_of(255, 1), (std::vector<std::int32_t>{255}));
}

TEST(layer_opacity, LevelsOutside0To255GiveOpacitiesOutsideIt) {
    EXPECT_EQ(ramp_of(300, 3), (std::vector<std::int32_t>{255, 200, 100}));
    EXPECT_EQ(ramp_of(-100, 4), (std::vector<std::int32_t>{255, -75, -50, -25}));
}

TEST(layer_opacity, RampFollowsTheFloatAccumulationForManyLevelsAndLengths) {
    // Steps such as 255 / 7 are not exact in a float: each layer must carry the rounding of
    // every subtraction before it, exactly as the accumulation does.
    for (const std::int64_t alpha_levels : {1, 7, 99, 100, 128, 200, 254, 255})
        for (std::int64_t layers = 1; layers <= 300; ++layers)
            ASSERT_EQ(ramp_of(alpha_levels, layers), reference_opacities(alpha_levels, layers))
                << "A = " << alpha_levels << ", L = " << layers;
}

TEST(job_progress, WorkedProgressValues) {
    EXPECT_EQ(job_progress(250, 100, 1), 40);
    EXPECT_EQ(job_progress(250, 100, 2), 80);
    EXPECT_EQ(job_progress(10, 3, 1), 30);
    EXPECT_EQ(job_progress(10, 3, 2), 60);
    EXPECT_EQ(job_progress(10, 3, 3), 90);
}

TEST(job_progress, HalvesRoundToTheEvenNeighbour) {
    // 100 / 8 = 12.5 per frame.
    EXPECT_EQ(job_progress(8, 1, 1), 12);
    EXPECT_EQ(job_progress(8, 1, 3), 38);
    EXPECT_EQ(job_progress(8, 1, 5), 62);
}

TEST(job_progress, FollowsTheDoubleThenFloatArithmeticForEveryFrame) {
    for (std::int64_t total = 1; total <= 150; ++total)
        for (std::int64_t layers = 1; layers <= total; ++layers)
            for (std::int32_t frame = 1; frame <= total / layers; ++frame)
                ASSERT_EQ(job_progress(total, layers, frame),
                          reference_progress(total, layers, frame))
                    << total << " images, L = " << layers << ", frame " << frame;
}

} // namespace
} // namespace korvel::app_test
