// Drawings as plans of rows: ranges of rows run on several threads give the bytes of one
// draw_image_alpha, plans are refused where the drawing cannot run from the source's own pixels,
// and the pixel callback sees every clipped pixel with its position and both colours.
#include "tests/drawing/test_images.h"

#include <thread>
#include <utility>
#include <vector>

namespace korvel::test {
namespace {

constexpr obj_number canvas = 0;
constexpr obj_number layer = 1;
constexpr obj_number twin = 2;

using BlitPlanTest = DrawingTest;

TEST_F(BlitPlanTest, RowRangesOnSeveralThreadsGiveTheBytesOfOneDrawing) {
    for (const int depth : {32, 24}) {
        make_image(layer, 61, 47, depth, {0, 0, 0, 0});
        randomise(layer, 31);
        make_image(canvas, 53, 40, 32, {0, 0, 0, 0});
        randomise(canvas, 32);
        copy_image(canvas, twin);
        start_session_on(twin);
        draw_image_alpha(image_handle(layer), -4, -3, 150);
        start_session_on(canvas);
        blit_plan plan;
        ASSERT_EQ(draw_image_alpha_plan(image_handle(layer), -4, -3, 150, &plan), 1);
        ASSERT_EQ(plan.rows, 40);
        // The first and last ranges reach past the plan's rows and are cut to them.
        std::vector<std::thread> workers;
        for (const auto& [first, count] : {std::pair{-5, 19}, {14, 14}, {28, 1000}})
            workers.emplace_back([&plan, first, count] { blit_rows(plan, first, count); });
        for (auto& w : workers)
            w.join();
        expect_same_pixels(canvas, twin);
    }
}

TEST_F(BlitPlanTest, PlanRefusedWhereNothingIsDrawnOrACopyIsNeeded) {
    make_image(canvas, 4, 4, 32, {0, 0, 0, 0});
    make_image(layer, 2, 2, 24, {0, 0, 0, 0});
    blit_plan plan;
    EXPECT_EQ(draw_image_alpha_plan(image_handle(layer), 0, 0, 128, &plan), 0); // no session
    start_session_on(canvas);
    EXPECT_EQ(draw_image_alpha_plan(image_handle(layer), 4, 0, 128, &plan), 0);
    EXPECT_EQ(draw_image_alpha_plan(image_handle(layer), 0, 0, 0, &plan), 0);
    EXPECT_EQ(draw_image_alpha_plan(image_handle(layer), 0, 0, -3, &plan), 0);
    EXPECT_EQ(draw_image_alpha_plan(0, 0, 0, 128, &plan), 0);
    const image_handle_t sixteen = bitmap_create_exact(2, 2, 16);
    EXPECT_EQ(draw_image_alpha_plan(sixteen, 0, 0, 128, &plan), 0);
    bitmap_delete(sixteen);
    const std::uint8_t rows[16] = {};
    const image_handle_t icon = icon_create(2, 2, 32, rows);
    EXPECT_EQ(draw_image_alpha_plan(icon, 0, 0, 128, &plan), 0);
    bitmap_delete(icon);
    EXPECT_EQ(draw_image_alpha_plan(image_handle(layer), 0, 0, 128, &plan), 1);
}

struct callback_record {
    int x, y;
    std::uint32_t source, destination;
};
std::vector<callback_record> seen;

std::uint32_t record_and_invert(std::int32_t x, std::int32_t y, std::uint32_t source,
                                std::uint32_t destination) {
    seen.push_back({x, y, source, destination});
    return ~destination;
}

TEST_F(BlitPlanTest, CallbackSeesEachClippedPixelWithPositionAndPackedColours) {
    make_image(layer, 2, 2, 32, {0, 0, 0, 0});
    set_pixel(layer, 0, 0, {10, 20, 30, 200});
    set_pixel(layer, 1, 0, {11, 21, 31, 255});
    set_pixel(layer, 0, 1, {12, 22, 32, 100});
    set_pixel(layer, 1, 1, {13, 23, 33, 0});
    make_image(canvas, 3, 3, 32, {1, 2, 3, 4});
    start_session_on(canvas);
    draw_mode(MODE_PIXEL_CALLBACK);
    blit_plan plan;
    ASSERT_EQ(draw_image_alpha_plan(image_handle(layer), 2, 1, 128, &plan), 1);
    plan.context.callback = record_and_invert;
    seen.clear();
    blit_rows(plan, 0, plan.rows);
    // Column 1 of the layer falls off the right edge; rows run bottom-up.
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].x, 2);
    EXPECT_EQ(seen[0].y, 2);
    EXPECT_EQ(seen[0].source, 32u | 22 << 8 | 12 << 16 | std::uint32_t{100 * 128 / 255} << 24);
    EXPECT_EQ(seen[1].y, 1);
    EXPECT_EQ(seen[1].source, 30u | 20 << 8 | 10 << 16 | std::uint32_t{200 * 128 / 255} << 24);
    EXPECT_EQ(seen[1].destination, 3u | 2 << 8 | 1 << 16 | 4u << 24);
    EXPECT_EQ(get_pixel(canvas, 2, 1), (px{254, 253, 252, 251}));
    EXPECT_EQ(get_pixel(canvas, 1, 1), (px{1, 2, 3, 4}));
}

TEST_F(BlitPlanTest, CallbackOnto24BitTargetSeesOpaqueDestinationAndWritesColourOnly) {
    make_image(layer, 1, 1, 24, {10, 20, 30, 0});
    make_image(canvas, 1, 1, 24, {1, 2, 3, 0});
    start_session_on(canvas);
    draw_mode(MODE_PIXEL_CALLBACK);
    blit_plan plan;
    ASSERT_EQ(draw_image_alpha_plan(image_handle(layer), 0, 0, 90, &plan), 1);
    plan.context.callback = record_and_invert;
    seen.clear();
    blit_rows(plan, 0, 1);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].source, 30u | 20 << 8 | 10 << 16 | 90u << 24);
    EXPECT_EQ(seen[0].destination, 3u | 2 << 8 | 1 << 16 | 255u << 24);
    EXPECT_EQ(get_pixel(canvas, 0, 0), (px{254, 253, 252, no_alpha}));
}

} // namespace
} // namespace korvel::test
