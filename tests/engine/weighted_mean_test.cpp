// Weighted means against a reference worked out here pixel by pixel from the formulas, in 64-bit
// integers with the unreduced 1024-scaled weights and sRGB curves evaluated with std::pow: layers
// of both depths, smaller and larger than the canvas, transparent to opaque pixels, sums kept
// running over sliding windows, and rows split across threads.
#include "engine/weighted_mean.h"

#include <oneapi/tbb/task_arena.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

namespace korvel::test {
namespace {

// Bottom-up rows as the bitmaps hold them, with a view the component reads.
struct picture {
    std::int32_t width, height, depth;
    std::vector<std::uint8_t> bytes;

    picture(std::int32_t w, std::int32_t h, std::int32_t d)
        : width(w), height(h), depth(d), bytes(static_cast<std::size_t>(row_bytes(w, d)) * h) {}
    bitmap view() {
        return {OBJ_BITMAP, width, height, depth, row_bytes(width, depth), bytes.data(), nullptr};
    }
    // The pixel at x, y counted from the top.
    std::uint8_t* pixel(std::int32_t x, std::int32_t y) {
        return &bytes[static_cast<std::size_t>(height - 1 - y) * row_bytes(width, depth) +
                      x * depth / 8];
    }
    // Blue, green, red, alpha there; transparent outside the picture.
    std::array<std::int64_t, 4> at(std::int32_t x, std::int32_t y) {
        if (x >= width || y >= height) return {0, 0, 0, 0};
        const std::uint8_t* p = pixel(x, y);
        return {p[0], p[1], p[2], depth == 32 ? p[3] : 255};
    }
};

// Noisy colours; alphas cycle through transparent, opaque, half and nearly transparent, and the
// pixel at (4, 2) is transparent in every 32-bit layer, so no layer lends it colour there.
picture noisy_picture(std::int32_t width, std::int32_t height, std::int32_t depth,
                      std::uint32_t seed) {
    static constexpr std::uint8_t alphas[] = {0, 255, 128, 1, 200};
    picture result(width, height, depth);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) {
            std::uint8_t* p = result.pixel(x, y);
            for (int c = 0; c < 3; ++c)
                p[c] = static_cast<std::uint8_t>((seed = seed * 1664525 + 1013904223) >> 24);
            if (depth == 32) p[3] = x == 4 && y == 2 ? 0 : alphas[(x + 2 * y + seed % 3) % 5];
        }
    return result;
}

double srgb_decode(double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}
double srgb_encode(double v) {
    return v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
}

// The expected canvas bytes, bottom-up like the canvas, straight from the formulas.
std::vector<std::uint8_t> reference_mean(const std::vector<picture*>& layers,
                                         const std::vector<std::int64_t>& weights, bool linear,
                                         std::int32_t width, std::int32_t height) {
    const auto light = [linear](std::int64_t c) {
        return linear ? std::llround(srgb_decode(c / 255.0) * 65535) : c;
    };
    const auto stored = [linear](std::int64_t v) {
        return linear ? std::llround(srgb_encode(v / 65535.0) * 255) : v;
    };
    const std::int64_t total = std::accumulate(weights.begin(), weights.end(), std::int64_t{0});
    std::vector<std::uint8_t> canvas(static_cast<std::size_t>(width) * height * 4);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) {
            std::array<std::int64_t, 4> sums{};
            for (std::size_t i = 0; i < layers.size(); ++i) {
                const auto pixel = layers[i]->at(x, y);
                for (int c = 0; c < 3; ++c)
                    sums[c] += weights[i] * pixel[3] * light(pixel[c]);
                sums[3] += weights[i] * pixel[3];
            }
            std::uint8_t* out = &canvas[(static_cast<std::size_t>(height - 1 - y) * width + x) * 4];
            for (int c = 0; c < 3; ++c)
                out[c] = static_cast<std::uint8_t>(
                    sums[3] == 0 ? 0 : stored((sums[c] + sums[3] / 2) / sums[3]));
            out[3] = static_cast<std::uint8_t>((sums[3] + total / 2) / total);
        }
    return canvas;
}

std::vector<std::uint8_t> written(const weighted_mean& mean, std::int32_t width,
                                  std::int32_t height) {
    picture canvas(width, height, 32);
    bitmap view = canvas.view();
    mean.write(view);
    return canvas.bytes;
}

std::vector<picture*> window_of(std::vector<picture>& layers, std::size_t first,
                                std::size_t count) {
    std::vector<picture*> window;
    for (std::size_t i = first; i < first + count; ++i)
        window.push_back(&layers[i]);
    return window;
}

// The canvas: 5 x 3. The layers: both depths, smaller, larger and narrower than it.
std::vector<picture> frame_layers(std::size_t count, std::uint32_t seed) {
    static constexpr std::array<std::int32_t, 3> shapes[] = {
        {5, 3, 32}, {3, 2, 24}, {6, 4, 32}, {5, 3, 24}, {4, 3, 32}};
    std::vector<picture> layers;
    for (std::size_t i = 0; i < count; ++i) {
        const auto& [w, h, depth] = shapes[i % std::size(shapes)];
        layers.push_back(noisy_picture(w, h, depth, seed + static_cast<std::uint32_t>(i)));
    }
    return layers;
}

std::vector<std::int64_t> unreduced_weights(const std::vector<double>& weights) {
    const double largest = *std::max_element(weights.begin(), weights.end());
    std::vector<std::int64_t> result;
    for (const double w : weights)
        result.push_back(std::llround(w / largest * 1024));
    return result;
}

TEST(WeightedMean, quantised_weights_are_reduced_1024_shares_and_give_the_unreduced_means) {
    const std::vector<std::vector<double>> cases = {{1, 1, 1, 1, 1},
                                                    gauss_weights(5, 1.0),
                                                    gauss_weights(4, 0.7),
                                                    {1, 2, 3, 2, 1},
                                                    {4, 2.5 / 256, 0.4, 3.999, 1.2}};
    for (const auto& weights : cases) {
        const auto quantised = quantised_weights(weights);
        const auto unreduced = unreduced_weights(weights);
        ASSERT_EQ(quantised.size(), weights.size());
        const std::uint32_t top = *std::max_element(quantised.begin(), quantised.end());
        EXPECT_EQ(std::accumulate(quantised.begin(), quantised.end(), 0u,
                                  [](std::uint32_t a, std::uint32_t b) { return std::gcd(a, b); }),
                  1u);
        for (std::size_t i = 0; i < weights.size(); ++i)
            EXPECT_EQ(quantised[i] * 1024, unreduced[i] * top)
                << "weight " << i << " of " << weights.size();
        auto layers = frame_layers(weights.size(), 7);
        for (const bool linear : {false, true}) {
            weighted_mean mean(5, 3, top, static_cast<std::int64_t>(weights.size()), linear, 1);
            for (std::size_t i = 0; i < layers.size(); ++i)
                ASSERT_TRUE(mean.add(layers[i].view(), quantised[i]));
            EXPECT_EQ(written(mean, 5, 3),
                      reference_mean(window_of(layers, 0, layers.size()), unreduced, linear, 5, 3))
                << "linear " << linear;
        }
    }
    EXPECT_EQ(quantised_weights({1, 1, 1}), (std::vector<std::uint32_t>{1, 1, 1}));
    EXPECT_EQ(quantised_weights({1, 2.5 / 1024}), (std::vector<std::uint32_t>{1024, 3}))
        << "halves round away from zero";
}

TEST(WeightedMean, gauss_weights_fall_off_from_the_middle_layer_and_bad_weights_give_none) {
    const auto weights = gauss_weights(6, 1.5);
    ASSERT_EQ(weights.size(), 6u);
    for (std::size_t i = 0; i < weights.size(); ++i)
        EXPECT_DOUBLE_EQ(weights[i], std::exp(-std::pow((i - 2.5) / 1.5, 2) / 2)) << i;
    const double nan = std::nan("");
    for (const auto& weights :
         std::vector<std::vector<double>>{{}, {0, 0}, {1, -0.5}, {nan, 1}, {1, INFINITY}})
        EXPECT_TRUE(quantised_weights(weights).empty()) << weights.size();
    EXPECT_TRUE(gauss_weights(0, 1).empty());
    EXPECT_TRUE(gauss_weights(5, 0).empty());
    EXPECT_TRUE(gauss_weights(5, nan).empty());
}

// Windows of 4 equal layers moving 1, then 2, then 3 layers at a time over 13 layers: the
// running sums must give what a fresh sum of each window gives, in 32- and 64-bit sums.
TEST(WeightedMean, running_sums_after_removing_layers_equal_fresh_sums) {
    auto layers = frame_layers(13, 99);
    for (const bool linear : {false, true})
        for (const std::int64_t bound : {std::int64_t{4}, std::int64_t{1} << 40}) {
            weighted_mean running(5, 3, 1, bound, linear, 1);
            ASSERT_EQ(running.wide(), bound > 4);
            for (std::size_t i = 0; i < 4; ++i)
                running.add(layers[i].view(), 1);
            std::size_t first = 0;
            for (const std::size_t step : {1, 2, 3, 3}) {
                for (std::size_t i = first; i < first + step; ++i) {
                    running.remove(layers[i].view(), 1);
                    running.add(layers[i + 4].view(), 1);
                }
                first += step;
                EXPECT_EQ(written(running, 5, 3),
                          reference_mean(window_of(layers, first, 4), {1, 1, 1, 1}, linear, 5, 3))
                    << "window from " << first << ", linear " << linear << ", bound " << bound;
            }
        }
}

// Opaque layers covering the canvas (24-bit, and 32-bit at full alpha, larger than the canvas)
// slide through short sums up to the largest weight they take, white included; then a layer that
// is not opaque (one pixel at alpha 200), or short, or narrow, makes them full sums in mid-window.
// Every mean is the one the formulas give.
TEST(WeightedMean, opaque_sums_give_the_full_means_and_turn_full_for_other_layers) {
    const auto opaque_picture = [](std::int32_t w, std::int32_t h, std::int32_t depth,
                                   std::uint32_t seed) {
        picture result = noisy_picture(w, h, depth, seed);
        for (std::size_t at = 3; depth == 32 && at < result.bytes.size(); at += 4)
            result.bytes[at] = 255;
        return result;
    };
    std::vector<picture> others = {opaque_picture(5, 3, 32, 70), opaque_picture(5, 2, 24, 71),
                                   opaque_picture(4, 3, 24, 72)};
    others[0].pixel(2, 1)[3] = 200;
    for (picture& other : others) {
        std::vector<picture> layers;
        for (std::uint32_t i = 0; i < 7; ++i)
            layers.push_back(opaque_picture(i % 2 ? 6 : 5, i % 2 ? 4 : 3, i % 2 ? 32 : 24, 40 + i));
        std::fill(layers[2].bytes.begin(), layers[2].bytes.end(), 255);
        layers.push_back(other);
        const std::vector<std::int64_t> weights(4, 64);
        weighted_mean mean(5, 3, 64, 4, false, 1);
        ASSERT_TRUE(mean.opaque());
        EXPECT_EQ(written(mean, 5, 3), std::vector<std::uint8_t>(5 * 3 * 4, 0)) << "no weight";
        for (std::size_t i = 0; i < 4; ++i)
            ASSERT_TRUE(mean.add(layers[i].view(), 64));
        for (std::size_t first = 0;; ++first) {
            SCOPED_TRACE("window from " + std::to_string(first) + ", other " +
                         std::to_string(other.width) + " x " + std::to_string(other.height));
            EXPECT_EQ(written(mean, 5, 3),
                      reference_mean(window_of(layers, first, 4), weights, false, 5, 3));
            EXPECT_EQ(mean.opaque(), first < 4);
            if (first + 4 == layers.size()) break;
            ASSERT_TRUE(mean.remove(layers[first].view(), 64));
            ASSERT_TRUE(mean.add(layers[first + 4].view(), 64));
        }
    }
    weighted_mean heavier(5, 3, 65, 4, false, 1);
    EXPECT_FALSE(heavier.opaque()) << "a weight of 4 x 65 can overflow 16-bit sums";
}

// Means of every pair of 8-bit values land on linear values close to every step of the encoding
// curve, where a table one entry off or rounded the wrong way gives another byte.
TEST(WeightedMean, linear_means_of_every_pair_of_values_meet_every_step_of_the_curve) {
    picture across(256, 256, 24), down(256, 256, 24);
    for (std::size_t i = 0; i < across.bytes.size(); i += 3)
        for (int c = 0; c < 3; ++c) {
            across.bytes[i + c] =
                static_cast<std::uint8_t>(c == 2 ? 255 - i / 3 % 256 : i / 3 % 256);
            down.bytes[i + c] = static_cast<std::uint8_t>(c == 1 ? i / 3 % 256 : i / 768);
        }
    for (const std::uint32_t down_weight : {1u, 3u}) {
        weighted_mean mean(256, 256, 3, 2, true, 1);
        mean.add(across.view(), 1);
        mean.add(down.view(), down_weight);
        EXPECT_TRUE(written(mean, 256, 256) ==
                    reference_mean({&across, &down}, {1, down_weight}, true, 256, 256))
            << "weights 1 and " << down_weight;
    }
}

// 700 x 400 is large enough to be split into parts by rows.
TEST(WeightedMean, thread_counts_give_the_same_bytes) {
    picture top = noisy_picture(700, 400, 32, 1);
    picture bottom = noisy_picture(650, 390, 24, 2);
    const auto expected = reference_mean({&top, &bottom}, {3, 1}, false, 700, 400);
    for (const int threads : {1, 2, 4}) {
        tbb::task_arena arena(threads);
        arena.execute([&] {
            weighted_mean mean(700, 400, 3, 2, false, threads);
            mean.add(top.view(), 3);
            mean.add(bottom.view(), 1);
            EXPECT_TRUE(written(mean, 700, 400) == expected) << threads << " threads";
        });
    }
}

} // namespace
} // namespace korvel::test
