// Layers drawn as the render job draws them (PNG frames of both depths at the origin of a clear
// canvas, falling opacities, plans run on threads, saved) give the reference compositor's frame;
// layers of every width to 33 (each row tail of the vector rows), placed on, across and off every
// edge, change exactly the pixels they cover, by the plain formula.
#include "drawing/blit_plan.h"
#include "drawing/draw.h"
#include "image/codec.h"
#include "image/image.h"
#include "image/png_codec.h"
#include "tests/drawing/plain_over.h"
#include "tests/support/reference_blur.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <random>
#include <thread>

namespace korvel::test {
namespace {

TEST(CompositingThreads, PngLayersOfBothDepthsDrawnAsRowPlansOnThreadsGiveTheReferenceFrame) {
    images_init();
    png_decoder_register();
    png_encoder_register();
    scratch_folder folder;
    constexpr int width = 37, height = 9, layers = 7, alpha_levels = 255;
    const std::vector<std::int32_t> opacities = reference_opacities(alpha_levels, layers);
    rgba_image want = blank_image(width, height);
    ASSERT_NE(image_create(0, width, height, IMAGE_TRANSPARENT | 32), 0);
    ASSERT_NE(draw_start(image_output(0)), 0);
    for (int k = 0; k < layers; ++k) {
        const bool alpha = k % 3 != 1;
        rgba_image layer = noise_image(width, height, k);
        for (int i = 0; i < width * height; i += 3) // alpha 0 and 255 besides any other
            layer.rgba[i * 4 + 3] = i % 2 ? 255 : 0;
        ASSERT_TRUE(write_png(folder.path("layer"), layer, alpha));
        draw_layer(want, layer, alpha, opacities[k]);
        ASSERT_NE(image_load(1, folder.name("layer").c_str()), 0);
        blit_plan plan;
        ASSERT_EQ(draw_image_alpha_plan(image_handle(1), 0, 0, opacities[k], &plan), 1);
        std::vector<std::jthread> parts; // ranges reaching past the rows are cut to them
        for (const auto& [first, count] : {std::pair{-5, 8}, {3, 4}, {7, 100}})
            parts.emplace_back([&plan, first, count] { blit_rows(plan, first, count); });
    }
    draw_stop();
    ASSERT_NE(image_save(0, folder.name("frame.png").c_str(), ENCODER_PNG), 0);
    EXPECT_TRUE(read_png_rgba(folder.path("frame.png")) == want);
}

constexpr int WIDE = 40, HIGH = 4, LAYER_HIGH = 3; // the canvas and the layers of every width

// Image n of random bytes, alphas in runs of 0, 255 and anything.
const bitmap* random_image(obj_number n, int width, int height, int depth, std::mt19937& rng) {
    EXPECT_NE(image_create(n, width, height, std::uint32_t(depth)), 0);
    bitmap* b = bitmap_get(image_handle(n));
    for (int i = 0; i < b->stride * b->height; ++i)
        b->pixels[i] =
            std::uint8_t(depth == 32 && i % 4 == 3 && i % 24 < 16 ? i % 24 / 8 * 255 : rng());
    return b;
}

// Draws a random layer at (x, y) of a random canvas and holds every canvas pixel to the formula.
void expect_placed_layer(int width, int depth, int x, int y, int opacity, std::mt19937& rng) {
    const bitmap *canvas = random_image(0, WIDE, HIGH, 32, rng),
                 *layer = random_image(1, width, LAYER_HIGH, depth, rng);
    std::vector<std::uint8_t> want(canvas->pixels, canvas->pixels + canvas->stride * HIGH);
    for (long long p = 0; p < WIDE * HIGH; ++p) { // from the top left
        const long long sx = p % WIDE - x, sy = p / WIDE - 1LL * y;
        if (sx < 0 || sx >= width || sy < 0 || sy >= LAYER_HIGH) continue;
        std::uint8_t* d = &want[(HIGH - 1 - p / WIDE) * canvas->stride + p % WIDE * 4];
        const std::uint8_t* s =
            layer->pixels + (LAYER_HIGH - 1 - sy) * layer->stride + sx * depth / 8;
        depth == 32 ? plain::over_row_bgra(d, s, 1, opacity)
                    : plain::draw_row_bgr(d, s, 1, opacity);
    }
    ASSERT_NE(draw_start(image_output(0)), 0);
    draw_image_alpha(image_handle(1), x, y, opacity);
    draw_stop();
    EXPECT_TRUE(std::equal(want.begin(), want.end(), canvas->pixels));
}

TEST(Compositing, LayersOfEveryWidthChangeExactlyTheCoveredPixelsByThePlainFormula) {
    images_init();
    std::mt19937 rng(7);
    for (int width = 1, draws = 0; width <= 33; ++width)
        for (const int depth : {24, 32})
            for (const int x :
                 {INT_MIN, -width, 1 - width, -1, 0, 3, WIDE - width, WIDE - 1, WIDE, INT_MAX})
                for (const int y : {INT_MIN, -LAYER_HIGH, -1, 0, 1, HIGH - 1, INT_MAX}) {
                    const int opacity = std::array{255, 0, 1, int(rng() % 256)}[++draws % 4];
                    SCOPED_TRACE(testing::Message() << width << " wide, " << depth << " bits at "
                                                    << x << ", " << y << ", opacity " << opacity);
                    expect_placed_layer(width, depth, x, y, opacity, rng);
                }
}

} // namespace
} // namespace korvel::test
