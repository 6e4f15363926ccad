// Plans measured in time against the rule worked out here over every input at once, in whole
// numbers: with rates a/b in and c/d out, a unit of 1 / (720 a c) seconds makes input i start at
// 720 b c i, output frame n at 720 a d n, and the exposure last 2 a d DEG. Each recipe must hold
// the inputs that overlap its exposure, weighed in proportion to the overlaps' 1024-shares (or
// the Gaussian's integrals), within the bounds the plan gives the mean's sums; timelines whose
// times stall must pass over the stalled inputs, and a plan must read no further than it needs.
#include "engine/constant_timeline.h"
#include "engine/time_plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

namespace korvel::test {
namespace {

// Inputs and their amounts.
using weights = std::vector<std::pair<std::int64_t, std::int32_t>>;

// Every amount divided by their greatest common divisor: plans may scale a frame's weights.
weights reduced(const std::vector<layer_use>& layers) {
    std::int32_t common = 0;
    for (const layer_use& layer : layers)
        common = std::gcd(common, layer.amount);
    weights result;
    for (const layer_use& layer : layers)
        result.emplace_back(layer.input, layer.amount / common);
    return result;
}

// Inputs shown from starts[i] to starts[i + 1], the last to end; an exposure from a to b.
weights expected_weights(const std::vector<std::int64_t>& starts, std::int64_t end, std::int64_t a,
                         std::int64_t b, double sigma) {
    std::vector<double> overlaps(starts.size());
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const std::int64_t to = i + 1 < starts.size() ? starts[i + 1] : end;
        const std::int64_t from = std::max(starts[i], a), until = std::min(to, b);
        if (until <= from) continue;
        const double spread = sigma * static_cast<double>(b - a) * std::sqrt(2.0);
        const double centre = static_cast<double>(a + b) / 2;
        overlaps[i] =
            sigma == 0 ? static_cast<double>(until - from)
                       : std::erf((until - centre) / spread) - std::erf((from - centre) / spread);
    }
    const double largest = *std::max_element(overlaps.begin(), overlaps.end());
    std::vector<layer_use> layers;
    for (std::size_t i = 0; i < overlaps.size(); ++i) {
        // Whole overlaps are shared out exactly: 2048 w + largest over 2 largest, floored.
        const auto share =
            sigma == 0 ? static_cast<std::int32_t>((2048 * static_cast<std::int64_t>(overlaps[i]) +
                                                    static_cast<std::int64_t>(largest)) /
                                                   (2 * static_cast<std::int64_t>(largest)))
                       : static_cast<std::int32_t>(std::round(overlaps[i] / largest * 1024));
        if (share != 0) layers.push_back({static_cast<std::int64_t>(i), share});
    }
    return reduced(layers);
}

struct time_row {
    std::int64_t in_num, in_den, out_num, out_den, degrees;
    exposure_phase phase;
    std::int64_t inputs;
    double sigma = 0; // 0: equal weights
};

const time_row rows[] = {
    {240, 1, 60, 1, 180, exposure_phase::start, 24},
    {240, 1, 60, 1, 180, exposure_phase::center, 24},
    {240, 1, 60, 1, 180, exposure_phase::end, 24},
    {144, 1, 60, 1, 360, exposure_phase::center, 30},
    {144, 1, 60, 1, 360, exposure_phase::start, 31},
    {240, 1, 60, 1, 3600, exposure_phase::center, 100},
    {144, 1, 60, 1, 3600, exposure_phase::end, 70},
    {144, 1, 60, 1, 1, exposure_phase::center, 20},
    {30000, 1001, 60000, 1001, 270, exposure_phase::center, 30},
    {25, 1, 60000, 1001, 360, exposure_phase::start, 12},
    {240, 1, 60, 1, 360, exposure_phase::center, 30, 1.0 / 6},
    {144, 1, 60, 1, 720, exposure_phase::start, 40, 0.25},
};

// The rule over all inputs: frames n from 0 whose exposure lies within the inputs.
std::vector<weights> expected_frames(const time_row& row) {
    std::vector<std::int64_t> starts;
    for (std::int64_t i = 0; i < row.inputs; ++i)
        starts.push_back(720 * row.in_den * row.out_num * i);
    const std::int64_t end = 720 * row.in_den * row.out_num * row.inputs;
    const std::int64_t length = 2 * row.in_num * row.out_den * row.degrees;
    const std::int64_t lead = row.phase == exposure_phase::start    ? 0
                              : row.phase == exposure_phase::center ? length / 2
                                                                    : length;
    std::vector<weights> frames;
    for (std::int64_t n = 0;; ++n) {
        const std::int64_t a = 720 * row.in_num * row.out_den * n - lead;
        if (a + length > end) return frames;
        if (a >= 0) frames.push_back(expected_weights(starts, end, a, a + length, row.sigma));
    }
}

std::shared_ptr<const frame_plan> plan_of(const time_row& row, const frame_span& span) {
    time_settings time;
    time.out_rate = {row.out_num, row.out_den};
    time.shutter = {row.degrees, 1};
    time.phase = row.phase;
    time.gauss = row.sigma != 0;
    time.sigma = row.sigma;
    const char16_t* problem = nullptr;
    return plan_by_time(
        time, false,
        std::make_shared<constant_timeline>(row.inputs, rational{row.in_num, row.in_den}), span,
        nullptr, &problem);
}

TEST(TimePlan, RecipesHoldTheOverlapsOfEachExposureWithinTheMeansBounds) {
    for (const time_row& row : rows) {
        SCOPED_TRACE(std::to_string(row.in_num) + "/" + std::to_string(row.in_den) + " to " +
                     std::to_string(row.out_num) + "/" + std::to_string(row.out_den) + " at " +
                     std::to_string(row.degrees) + " phase " + std::to_string(int(row.phase)));
        const std::vector<weights> expected = expected_frames(row);
        ASSERT_GE(expected.size(), 3u);
        const auto plan = plan_of(row, {});
        ASSERT_TRUE(plan);
        EXPECT_EQ(plan->size(), static_cast<std::int64_t>(expected.size()));
        frame_recipe recipe;
        for (std::size_t k = 0; k < expected.size(); ++k) {
            ASSERT_TRUE(plan->recipe(static_cast<std::int64_t>(k), &recipe)) << k;
            EXPECT_EQ(recipe.frame, static_cast<std::int32_t>(k + 1));
            EXPECT_EQ(reduced(recipe.layers), expected[k]) << "frame " << k + 1;
            EXPECT_LE(static_cast<std::int64_t>(recipe.layers.size()), plan->most_layers());
            for (const layer_use& layer : recipe.layers)
                EXPECT_LE(layer.amount, plan->largest_amount());
        }
        EXPECT_FALSE(plan->recipe(static_cast<std::int64_t>(expected.size()), &recipe));
        // A span gives its frames, numbered as in the whole plan.
        const auto span = plan_of(row, {2, 3});
        ASSERT_TRUE(span && span->size() == 2);
        for (std::int64_t k : {1, 0, 1}) {
            ASSERT_TRUE(span->recipe(k, &recipe));
            EXPECT_EQ(recipe.frame, k + 2);
            EXPECT_EQ(reduced(recipe.layers), expected[static_cast<std::size_t>(k + 1)]);
        }
    }
}

// Inputs equal in every frame are summed with the same weight, so that the mean slides; a plan
// whose frames share no exposure keeps each frame's weights as small as one.
TEST(TimePlan, WeightsShareOneDivisorAcrossFrames) {
    const auto overlapping = plan_of({144, 1, 60, 1, 3600, exposure_phase::center, 70}, {});
    frame_recipe first, second;
    ASSERT_TRUE(overlapping->recipe(0, &first) && overlapping->recipe(1, &second));
    EXPECT_EQ(first.layers[5].amount, second.layers[3].amount);
    EXPECT_EQ(first.layers[5].input, second.layers[3].input);
    const auto apart = plan_of({240, 1, 60, 1, 180, exposure_phase::center, 24}, {});
    EXPECT_EQ(apart->largest_amount(), 1);
    EXPECT_EQ(apart->most_layers(), 2);
}

// A timeline known only as it is read, its times in hundredths: 10 and 25 stall behind the
// times before them. Told its end, it knows it before its inputs are read, as a clip's times do.
class stalling_timeline final : public input_timeline {
public:
    bool start_of(std::int64_t i, std::int64_t* ticks) const override {
        asked = std::max(asked, i);
        if (i >= static_cast<std::int64_t>(starts.size())) return false;
        *ticks = starts[static_cast<std::size_t>(i)];
        return true;
    }
    std::int64_t end_ticks() const override { return 120; }
    rational time_base() const override { return {1, 100}; }
    bool constant(std::int64_t*, std::int64_t*) const override { return false; }
    bool end_known(std::int64_t* ticks) const override {
        *ticks = end_ticks();
        return knows_end;
    }

    bool knows_end = false;
    std::vector<std::int64_t> starts = {0, 10, 10, 30, 25, 40, 45, 60, 70, 70, 90, 100};
    mutable std::int64_t asked = -1;
};

TEST(TimePlan, StalledInputsShowForNoTimeAndTheTimelineIsReadNoFurtherThanNeeded) {
    auto timeline = std::make_shared<stalling_timeline>();
    time_settings time;
    time.out_rate = {5, 1}; // a frame every 20 hundredths, exposed for 10 around it
    time.shutter = {180, 1};
    const char16_t* problem = nullptr;
    const auto plan = plan_by_time(time, false, timeline, {}, nullptr, &problem);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->size(), UNKNOWN_SIZE);
    // Shown: 0, 10, 30, 40, 45, 60, 70, 90, 100, each until the next, the last until 120.
    const std::vector<std::int64_t> shown_at = {0, 10, 30, 40, 45, 60, 70, 90, 100};
    const std::vector<std::int64_t> shown = {0, 1, 3, 5, 6, 7, 8, 10, 11};
    const std::int64_t passed[] = {1, 2, 2, 3, 3}; // the stalled inputs read so far
    frame_recipe recipe;
    for (std::int64_t n = 1; n <= 5; ++n) {
        ASSERT_TRUE(plan->recipe(n - 1, &recipe)) << n;
        weights expected = expected_weights(shown_at, 120, 20 * n - 5, 20 * n + 5, 0);
        for (auto& [input, amount] : expected)
            input = shown[static_cast<std::size_t>(input)];
        EXPECT_EQ(reduced(recipe.layers), expected) << "frame " << n;
        // The first input shown at or after the exposure's end is the furthest one read.
        const auto beyond = std::find_if(shown_at.begin(), shown_at.end(),
                                         [&](std::int64_t t) { return t >= 20 * n + 5; });
        EXPECT_EQ(timeline->asked, beyond == shown_at.end()
                                       ? 12
                                       : shown[static_cast<std::size_t>(beyond - shown_at.begin())])
            << n;
        EXPECT_EQ(plan->inputs_passed_over(), passed[n - 1]) << n;
    }
    EXPECT_FALSE(plan->recipe(5, &recipe)) << "frame 6 would end at 125, after the inputs";
    ASSERT_TRUE(plan->recipe(1, &recipe));
    EXPECT_EQ(plan->inputs_passed_over(), 3) << "each stalled input counts once";
    timeline->knows_end = true;
    EXPECT_EQ(plan_by_time(time, false, timeline, {2, 9}, nullptr, &problem)->size(), 4)
        << "frames 2 to 5";
}

} // namespace
} // namespace korvel::test
