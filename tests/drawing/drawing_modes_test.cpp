// Drawing modes and sessions: each row of the mode tables, a 3 x 2 source (200, 100, 50, alpha 128
// unless said) over (10, 20, 30, alpha 200) giving the pixel worked out by hand, 24-bit row padding
// untouched; which images are targets and sources; sessions per thread; plans; sized drawing.
#include "drawing/blit_plan.h"
#include "drawing/draw.h"
#include "image/image.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <thread>

namespace korvel {
namespace {

using px = std::array<int, 4>; // blue, green, red, alpha (-1 on 24-bit images)
constexpr obj_number canvas = 0, layer = 1, other = 2, icon = 3, sixteen = 4;
constexpr int PLAIN = -1; // draw_image instead of draw_image_alpha

px pixel(obj_number n, int x, int y) {
    const bitmap* b = bitmap_get(image_handle(n));
    const std::uint8_t* p = b->pixels + (b->height - 1 - y) * b->stride + x * b->depth / 8;
    return {p[0], p[1], p[2], b->depth == 32 ? p[3] : -1};
}

// A width x height image of the value, its 24-bit row padding marked 0xAB.
const bitmap* make(obj_number n, int width, int height, int depth, px value) {
    EXPECT_NE(image_create(n, width, height, std::uint32_t(depth)), 0);
    bitmap* b = bitmap_get(image_handle(n));
    for (int i = 0, bytes = depth / 8; i < b->stride * height; ++i)
        b->pixels[i] =
            std::uint8_t(i % b->stride < width * bytes ? value[i % b->stride % bytes] : 0xAB);
    return b;
}

TEST(DrawingModes, EveryModeRowDrawsItsPixelEverywhereAndLeavesThePaddingAlone) {
    images_init();
    constexpr px kept32{10, 20, 30, 200}, kept24{10, 20, 30, -1};
    // clang-format off
    const struct { std::uint32_t mode; int source_depth, target_depth, source_alpha, opacity; px want; } rows[] = {
        {MODE_PIXEL_CALLBACK, 32, 32, 128, 200, kept32}, // the callback until one is set
        {MODE_XOR_COLOUR, 32, 32, 128, 200, {194, 112, 44, 200}},
        {MODE_XOR_COLOUR | MODE_COPY_WITH_ALPHA, 32, 32, 128, 200, {194, 112, 44, 200}},
        {MODE_COPY_WITH_ALPHA, 32, 32, 128, 255, {200, 100, 50, 128}},
        {MODE_COPY_WITH_ALPHA | MODE_OVER, 32, 32, 128, 200, {200, 100, 50, 100}},
        {MODE_COPY_WITH_ALPHA, 32, 32, 255, 128, {200, 100, 50, 128}},
        {MODE_COPY_WITH_ALPHA, 32, 24, 128, 200, {84, 51, 37, -1}},
        {MODE_COPY_WITH_ALPHA, 24, 32, 128, 77, {200, 100, 50, 77}},
        {MODE_WRITE_ALPHA_ONLY, 32, 32, 255, 128, {10, 20, 30, 128}},
        {MODE_WRITE_ALPHA_ONLY, 32, 24, 128, 200, kept24},
        {MODE_OVER, 32, 32, 128, 200, {95, 56, 39, 221}},
        {MODE_OVER, 32, 32, 128, PLAIN, {116, 64, 41, 227}},
        {MODE_OVER, 32, 24, 255, 128, {105, 60, 40, -1}},
        {MODE_OVER_KEEP_ALPHA, 32, 32, 128, 200, {95, 56, 39, 200}},
        {MODE_OVER | MODE_OVER_KEEP_ALPHA, 32, 32, 128, 200, {95, 56, 39, 221}},
        {0, 32, 32, 128, 200, {95, 56, 39, 221}},
        {0, 32, 32, 128, PLAIN, {200, 100, 50, 200}},
        {0, 32, 24, 128, PLAIN, {200, 100, 50, -1}},
        {MODE_OVER, 24, 32, 128, 200, {166, 85, 46, 243}},
        {MODE_OVER, 24, 24, 128, 200, {159, 82, 45, -1}},
        {0, 24, 32, 128, 255, {200, 100, 50, 200}},
        {0, 24, 32, 128, -5, kept32}, // opacities are clamped to 0 to 255
        {0, 32, 32, 128, 300, {116, 64, 41, 227}},
        {0, 24, 32, 128, 200, {166, 85, 46, 243}},
        {0, 24, 24, 128, 200, {159, 82, 45, -1}}};
    // clang-format on
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "mode " << r.mode << ", " << r.source_depth << " onto "
                                        << r.target_depth << ", opacity " << r.opacity);
        const bitmap* b = make(canvas, 3, 2, r.target_depth, {10, 20, 30, 200});
        make(layer, 3, 2, r.source_depth, {200, 100, 50, r.source_alpha});
        ASSERT_NE(draw_start(image_output(canvas)), 0);
        draw_mode(r.mode);
        if (r.opacity == PLAIN) draw_image(image_handle(layer), 0, 0);
        if (r.opacity != PLAIN) draw_image_alpha(image_handle(layer), 0, 0, r.opacity);
        draw_stop();
        for (int i = 0; i < b->stride * 2; ++i)
            EXPECT_TRUE(i % b->stride < 3 * r.target_depth / 8 || b->pixels[i] == 0xAB) << i;
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(pixel(canvas, i % 3, i / 3), r.want) << i;
    }
}

TEST(DrawingSessions, TargetsSourcesThreadsAndPlans) {
    images_init();
    make(canvas, 3, 3, 32, {1, 2, 3, 4});
    make(other, 1, 1, 24, {0, 0, 0, 0});
    make(layer, 2, 2, 32, {10, 20, 30, 255});
    const std::uint8_t opaque[4] = {9, 9, 9, 255};
    ASSERT_NE(image_adopt(icon, icon_create(1, 1, 32, opaque), 32), 0);
    ASSERT_NE(image_adopt(sixteen, bitmap_create_exact(2, 2, 16), 16), 0);
    blit_plan plan;
    EXPECT_EQ(draw_image_alpha_plan(image_handle(layer), 0, 0, 128, &plan), 0) << "no session";
    draw_state* first = image_output(canvas);
    ASSERT_NE(draw_start(first), 0);
    // Icons, 16-bit bitmaps and missing images are no targets and leave the session alone; alpha
    // drawing takes bitmaps only, plans none that needs a copy, draws nothing or lies off it.
    for (const obj_number n : {icon, sixteen, obj_number{5}})
        EXPECT_EQ(image_output(n), nullptr) << n;
    draw_image_alpha(image_handle(icon), 0, 0, 255);
    for (const auto& [n, x, opacity] :
         {std::tuple{layer, 3, 128}, {other, 0, 0}, {icon, 0, 128}, {sixteen, 0, 128}})
        EXPECT_EQ(draw_image_alpha_plan(image_handle(n), x, 0, opacity, &plan), 0) << n;
    std::thread([] { // a thread has no session until it starts one
        draw_image_alpha(image_handle(layer), 0, 0, 255);
        if (draw_start(image_output(other)) != 0) draw_image_alpha(image_handle(layer), 0, 0, 255);
    })
        .join();
    EXPECT_EQ(pixel(other, 0, 0), (px{10, 20, 30, -1}));
    EXPECT_EQ(pixel(canvas, 0, 0), (px{1, 2, 3, 4})) << "drawn by the thread without a session";
    ASSERT_EQ(draw_image_alpha_plan(image_handle(layer), 2, 1, 128, &plan), 1);
    // The layer's second column is off the edge; rows run up from the bottom one, at y = 2.
    EXPECT_EQ((std::array{plan.width, plan.rows, plan.context.x, plan.context.y}),
              (std::array{1, 2, 2, 2}));
    draw_image(image_handle(icon), 0, 0); // plain drawing takes icons, through their alpha
    EXPECT_EQ(pixel(canvas, 0, 0), (px{9, 9, 9, 255}));
    ASSERT_NE(draw_start(image_output(other)), 0);
    EXPECT_EQ(draw_start(first), 0) << "ended by the new output";
    draw_stop();
    for (const obj_number n : {canvas, layer, other, icon, sixteen})
        image_free(n);
}

// A 2 x 1 source of (10, 20, 30) and (50, 60, 70) sized onto a 4 x 2 target of (1, 2, 3, 4): each
// target pixel from the top left unchanged (.), the first source pixel's colour (a), their mean
// (m) or the second's (b), the target's alpha kept; -1 wide is the source's own size.
TEST(SizedDrawing, CopiesTheColourOfTheAreaEachTargetPixelCovers) {
    images_init();
    const struct {
        int x, y, width, height;
        std::string want;
    } rows[] = {{0, 0, 4, 2, "aabbaabb"},  {1, 1, 1, 1, ".....m.."}, {2, 0, -1, 7, "..ab...."},
                {-2, 1, 4, 1, "....bb.."}, {3, 1, 2, 2, ".......a"}, {0, 0, 0, 2, "........"}};
    for (const auto& [x, y, width, height, want] : rows) {
        make(canvas, 4, 2, 32, {1, 2, 3, 4});
        std::copy_n("\x32\x3C\x46", 3, make(layer, 2, 1, 32, {10, 20, 30, 0})->pixels + 4);
        ASSERT_NE(draw_start(image_output(canvas)), 0);
        draw_image_sized(image_handle(layer), x, y, width, height);
        draw_stop();
        for (int i = 0; i < 8; ++i) {
            const int t = 20 * int(std::string("amb").find(want[i]));
            EXPECT_EQ(pixel(canvas, i % 4, i / 4),
                      (want[i] == '.' ? px{1, 2, 3, 4} : px{10 + t, 20 + t, 30 + t, 4}))
                << x << ", " << y << ": " << i;
        }
    }
}

} // namespace
} // namespace korvel
