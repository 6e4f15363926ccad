// The compositing examples worked out by hand, drawn through real images and a drawing session
// exactly as the render job draws: one canvas, layers at (0, 0), draw_image_alpha per layer.
#include "tests/drawing/test_images.h"

namespace korvel::test {
namespace {

constexpr obj_number canvas = 0;
constexpr obj_number layer = 1;

class WorkedExampleTest : public DrawingTest {
protected:
    // Draws a 1 x 1 layer of the given depth and colour onto the canvas at the given opacity.
    void draw_layer(int depth, px colour, int opacity) {
        make_image(layer, 1, 1, depth, colour);
        draw_image_alpha(image_handle(layer), 0, 0, opacity);
    }
};

TEST_F(WorkedExampleTest, ThreeOpaqueLayersOntoTransparentCanvas) {
    make_image(canvas, 1, 1, 32, {0, 0, 0, 0});
    start_session_on(canvas);
    draw_layer(32, {0, 0, 255, 255}, 255);
    EXPECT_EQ(get_pixel(canvas, 0, 0), (px{0, 0, 255, 255}));
    draw_layer(32, {0, 255, 0, 255}, 170);
    EXPECT_EQ(get_pixel(canvas, 0, 0), (px{0, 170, 85, 255}));
    draw_layer(32, {255, 0, 0, 255}, 85);
    EXPECT_EQ(get_pixel(canvas, 0, 0), (px{85, 113, 56, 255}));
}

TEST_F(WorkedExampleTest, SemiTransparentSourceOntoSemiTransparentDestination) {
    make_image(canvas, 1, 1, 32, {0, 0, 255, 100});
    start_session_on(canvas);
    draw_layer(32, {255, 0, 0, 200}, 200);
    EXPECT_EQ(get_pixel(canvas, 0, 0), (px{204, 0, 50, 194}));
}

TEST_F(WorkedExampleTest, HalfOpacityOntoOpaquePixel) {
    make_image(canvas, 1, 1, 32, {10, 20, 200, 255});
    start_session_on(canvas);
    draw_layer(32, {250, 100, 0, 255}, 128);
    EXPECT_EQ(get_pixel(canvas, 0, 0), (px{130, 60, 99, 255}));
}

TEST_F(WorkedExampleTest, FaintSourceOntoTransparentPixelGivesSourceColourWithScaledAlpha) {
    make_image(canvas, 1, 1, 32, {9, 9, 9, 0});
    start_session_on(canvas);
    draw_layer(32, {40, 80, 120, 10}, 128);
    EXPECT_EQ(get_pixel(canvas, 0, 0), (px{40, 80, 120, 5}));
}

TEST_F(WorkedExampleTest, ThreeLayersWithoutAlphaOntoTransparentCanvas) {
    make_image(canvas, 1, 1, 32, {0, 0, 0, 0});
    start_session_on(canvas);
    draw_layer(24, {0, 0, 255, 0}, 255);
    EXPECT_EQ(get_pixel(canvas, 0, 0), (px{0, 0, 255, 0}));
    draw_layer(24, {0, 255, 0, 0}, 170);
    EXPECT_EQ(get_pixel(canvas, 0, 0), (px{0, 255, 0, 170}));
    draw_layer(24, {255, 0, 0, 0}, 85);
    EXPECT_EQ(get_pixel(canvas, 0, 0), (px{109, 145, 0, 198}));
}

TEST_F(WorkedExampleTest, OpacityOneBarelyMovesAnOpaqueGrey) {
    make_image(canvas, 1, 1, 32, {100, 100, 100, 255});
    start_session_on(canvas);
    draw_layer(32, {200, 200, 200, 255}, 1);
    EXPECT_EQ(get_pixel(canvas, 0, 0), (px{100, 100, 100, 255}));
}

TEST_F(WorkedExampleTest, TwoByTwoAboveTheRightEdgeChangesOnlyTopRightPixel) {
    make_image(canvas, 4, 3, 32, {1, 2, 3, 255});
    make_image(layer, 2, 2, 32, {0, 0, 0, 255});
    set_pixel(layer, 0, 0, {10, 10, 10, 255}); // top-left
    set_pixel(layer, 1, 0, {20, 20, 20, 255}); // top-right
    set_pixel(layer, 0, 1, {30, 30, 30, 255}); // bottom-left
    set_pixel(layer, 1, 1, {40, 40, 40, 255}); // bottom-right
    start_session_on(canvas);
    draw_image_alpha(image_handle(layer), 3, -1, 255);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(get_pixel(canvas, x, y),
                      (x == 3 && y == 0 ? px{30, 30, 30, 255} : px{1, 2, 3, 255}))
                << x << "," << y;
}

} // namespace
} // namespace korvel::test
