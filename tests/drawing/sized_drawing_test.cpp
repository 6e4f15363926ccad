// Drawing at another size (area averaging), 16-bit sources and icons: the drawings that go
// through a copy made for the call.
#include "drawing/area_resample.h"
#include "tests/drawing/test_images.h"

#include <random>
#include <utility>
#include <vector>

namespace korvel::test {
namespace {

constexpr obj_number canvas = 0;
constexpr obj_number layer = 1;
constexpr obj_number twin = 2;

// The scaled picture by brute force: every source pixel repeated out_width x out_height times
// makes a grid in which each output pixel is a plain block of width x height cells.
std::vector<std::uint8_t> reference_scale(const std::vector<std::uint8_t>& src, int w, int h,
                                          int bytes, int out_w, int out_h) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(out_w) * out_h * bytes);
    for (int oy = 0; oy < out_h; ++oy)
        for (int ox = 0; ox < out_w; ++ox)
            for (int c = 0; c < bytes; ++c) {
                long long sum = 0;
                for (int gy = oy * h; gy < (oy + 1) * h; ++gy)
                    for (int gx = ox * w; gx < (ox + 1) * w; ++gx)
                        sum += src[((gy / out_h) * w + gx / out_w) * bytes + c];
                const long long cells = static_cast<long long>(w) * h;
                out[(oy * out_w + ox) * bytes + c] =
                    static_cast<std::uint8_t>((2 * sum + cells) / (2 * cells));
            }
    return out;
}

TEST(AreaResample, MatchesBruteForceAveragingForManySizes) {
    std::mt19937 rng(21);
    for (int trial = 0; trial < 300; ++trial) {
        const int w = 1 + static_cast<int>(rng() % 7), h = 1 + static_cast<int>(rng() % 7);
        const int out_w = 1 + static_cast<int>(rng() % 9), out_h = 1 + static_cast<int>(rng() % 9);
        const int bytes = trial % 2 == 0 ? 3 : 4;
        std::vector<std::uint8_t> src(static_cast<std::size_t>(w) * h * bytes);
        for (auto& b : src)
            b = static_cast<std::uint8_t>(rng());
        const auto want = reference_scale(src, w, h, bytes, out_w, out_h);
        // A part of the output starting anywhere: the rest must agree with the whole.
        const int x0 = static_cast<int>(rng() % out_w), row0 = static_cast<int>(rng() % out_h);
        const pixel_region part{x0, row0, out_w - x0, out_h - row0};
        std::vector<std::uint8_t> got(static_cast<std::size_t>(part.width) * part.rows * bytes);
        resample_area({src.data(), w, h, bytes, w * bytes}, out_w, out_h, part, got.data(),
                      part.width * bytes);
        for (int r = 0; r < part.rows; ++r)
            for (int i = 0; i < part.width * bytes; ++i)
                ASSERT_EQ(got[r * part.width * bytes + i],
                          want[((row0 + r) * out_w + x0) * bytes + i])
                    << w << "x" << h << " -> " << out_w << "x" << out_h << " trial " << trial;
    }
}

using SizedDrawingTest = DrawingTest;

TEST_F(SizedDrawingTest, OwnSizeDrawsLikeDrawImage) {
    make_image(layer, 7, 5, 32, {0, 0, 0, 0});
    randomise(layer, 22);
    make_image(canvas, 9, 6, 32, {50, 60, 70, 80});
    make_image(twin, 9, 6, 32, {50, 60, 70, 80});
    start_session_on(canvas);
    draw_image_sized(image_handle(layer), 1, 1, 7, 5);
    start_session_on(twin);
    draw_image(image_handle(layer), 1, 1);
    expect_same_pixels(canvas, twin);
    draw_image_sized(image_handle(layer), 2, 0, -1, 99); // -1 across: own size both ways
    start_session_on(canvas);
    draw_image_sized(image_handle(layer), 2, 0, 7, 5);
    expect_same_pixels(canvas, twin);
}

TEST_F(SizedDrawingTest, TwoByTwoToOneRoundsTheAverageOfEachChannel) {
    make_image(layer, 2, 2, 24, {0, 0, 0, 0});
    set_pixel(layer, 0, 0, {1, 0, 255, 0});
    set_pixel(layer, 1, 0, {2, 0, 255, 0});
    set_pixel(layer, 0, 1, {3, 0, 255, 0});
    set_pixel(layer, 1, 1, {5, 1, 254, 0});
    make_image(canvas, 1, 1, 32, {9, 9, 9, 40});
    start_session_on(canvas);
    draw_image_sized(image_handle(layer), 0, 0, 1, 1);
    EXPECT_EQ(get_pixel(canvas, 0, 0), (px{3, 0, 255, 40}));
}

TEST_F(SizedDrawingTest, UpscalingBlendsOnlyWhereAnOutputPixelStraddlesTwoSources) {
    make_image(layer, 2, 1, 24, {0, 0, 0, 0});
    set_pixel(layer, 0, 0, {0, 100, 200, 0});
    set_pixel(layer, 1, 0, {101, 0, 50, 0});
    make_image(canvas, 3, 1, 24, {0, 0, 0, 0});
    start_session_on(canvas);
    draw_image_sized(image_handle(layer), 0, 0, 3, 1);
    EXPECT_EQ(get_pixel(canvas, 0, 0), (px{0, 100, 200, no_alpha}));
    EXPECT_EQ(get_pixel(canvas, 1, 0), (px{51, 50, 125, no_alpha}));
    EXPECT_EQ(get_pixel(canvas, 2, 0), (px{101, 0, 50, no_alpha}));
}

TEST_F(SizedDrawingTest, ClippedScaledDrawingShowsTheRightPartOfTheScaledPicture) {
    make_image(layer, 4, 4, 32, {0, 0, 0, 255});
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            set_pixel(layer, x, y, {x * 10, y * 10, 7, 255});
    make_image(canvas, 4, 4, 32, {0, 0, 0, 0});
    start_session_on(canvas);
    draw_image_sized(image_handle(layer), -3, -2, 8, 8); // each source pixel becomes 2 x 2
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(get_pixel(canvas, x, y), (px{(x + 3) / 2 * 10, (y + 2) / 2 * 10, 7, 0}))
                << x << "," << y;
}

TEST_F(SizedDrawingTest, HugeSizeComputesOnlyTheVisiblePart) {
    make_image(layer, 2, 2, 24, {0, 0, 0, 0});
    set_pixel(layer, 0, 0, {1, 1, 1, 0});
    set_pixel(layer, 1, 1, {2, 2, 2, 0});
    make_image(canvas, 3, 3, 24, {0, 0, 0, 0});
    start_session_on(canvas);
    draw_image_sized(image_handle(layer), 0, 0, 32767, 32767);
    EXPECT_EQ(get_pixel(canvas, 2, 2), (px{1, 1, 1, no_alpha}));
    draw_image_sized(image_handle(layer), 3 - 32767, 3 - 32767, 32767, 32767);
    EXPECT_EQ(get_pixel(canvas, 0, 0), (px{2, 2, 2, no_alpha}));
}

TEST_F(SizedDrawingTest, SizesOutsideTheImageRangeDrawNothing) {
    make_image(layer, 2, 2, 24, {5, 5, 5, 0});
    make_image(canvas, 2, 2, 24, {0, 0, 0, 0});
    start_session_on(canvas);
    for (const auto& [w, h] : {std::pair{0, 2}, {2, 0}, {-2, 2}, {2, -2}, {32768, 2}, {2, 40000}})
        draw_image_sized(image_handle(layer), 0, 0, w, h);
    EXPECT_EQ(get_pixel(canvas, 0, 0), (px{0, 0, 0, no_alpha}));
    draw_image_sized(image_handle(layer), 0, 0, 2, -1); // -1 down: the source's own height
    EXPECT_EQ(get_pixel(canvas, 0, 0), (px{5, 5, 5, no_alpha}));
}

TEST_F(SizedDrawingTest, SixteenBitSourceIsWidenedToFullRange) {
    const image_handle_t source = bitmap_create_exact(2, 1, 16);
    ASSERT_NE(source, 0u);
    std::uint8_t* p = bitmap_get(source)->pixels;
    const std::uint16_t first = 31 | 0 << 5 | 16 << 10; // blue 31, green 0, red 16
    const std::uint16_t second = 1 | 30 << 5 | 0 << 10;
    p[0] = first & 0xFF, p[1] = first >> 8, p[2] = second & 0xFF, p[3] = second >> 8;
    make_image(canvas, 2, 1, 32, {0, 0, 0, 77});
    start_session_on(canvas);
    draw_image(source, 0, 0);
    EXPECT_EQ(get_pixel(canvas, 0, 0), (px{255, 0, 132, 77}));
    EXPECT_EQ(get_pixel(canvas, 1, 0), (px{8, 247, 0, 77}));
    draw_image_alpha(source, 0, 0, 0); // a source without alpha at opacity 0
    EXPECT_EQ(get_pixel(canvas, 0, 0), (px{255, 0, 132, 77}));
    draw_image_sized(source, 0, 0, 1, 1);
    EXPECT_EQ(get_pixel(canvas, 0, 0), (px{132, 124, 66, 77}));
    bitmap_delete(source);
}

TEST_F(SizedDrawingTest, IconsDrawThroughTheirAlpha) {
    // Bottom-up rows: the bottom row is transparent, the top row opaque.
    const std::uint8_t rows[16] = {9, 9, 9, 0, 9, 9, 9, 0, 40, 50, 60, 255, 40, 50, 60, 255};
    const image_handle_t icon = icon_create(2, 2, 32, rows);
    ASSERT_NE(icon, 0u);
    make_image(canvas, 2, 2, 32, {1, 1, 1, 255});
    start_session_on(canvas);
    draw_image(icon, 0, 0);
    EXPECT_EQ(get_pixel(canvas, 0, 0), (px{40, 50, 60, 255}));
    EXPECT_EQ(get_pixel(canvas, 0, 1), (px{1, 1, 1, 255}));
    make_image(canvas, 2, 2, 32, {1, 1, 1, 255});
    start_session_on(canvas);
    draw_image_sized(icon, 0, 0, 1, 1); // averages to alpha 128: half over the canvas
    EXPECT_EQ(get_pixel(canvas, 0, 0), (px{13, 15, 18, 255}));
    bitmap_delete(icon);
}

} // namespace
} // namespace korvel::test
