// Clipping: which part of a placed picture is drawn, in the bottom-up row order of both pictures,
// for every placement around the destination (off each edge, hanging below or above, larger than
// it), far away and at the extremes of the coordinate range.
#include "drawing/clip.h"
#include "tests/drawing/test_images.h"

#include <cstdint>
#include <limits>

namespace korvel::test {
namespace {

constexpr std::int32_t int_min = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t int_max = std::numeric_limits<std::int32_t>::max();

TEST(ClipRectangle, ExtremeCoordinatesDoNotOverflow) {
    clip_rect c;
    EXPECT_FALSE(clip_to_target(int_min, int_min, 32767, 32767, 4, 3, &c));
    EXPECT_FALSE(clip_to_target(int_max, int_max, 32767, 32767, 4, 3, &c));
    EXPECT_FALSE(clip_to_target(int_min, int_max, 32767, 32767, 4, 3, &c));
    EXPECT_FALSE(clip_to_target(0, int_min, 32767, 32767, 4, 3, &c));
}

class ClippedDrawingTest : public DrawingTest {
protected:
    static constexpr obj_number canvas = 0;
    static constexpr obj_number layer = 1;

    // A source whose every pixel says where it is: blue = x, green = y, red = 99.
    void make_coordinate_layer(int width, int height) {
        make_image(layer, width, height, 32, {0, 0, 0, 255});
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                set_pixel(layer, x, y, {x, y, 99, 255});
    }

    // Draws the layer at (x0, y0) and checks every canvas pixel.
    void expect_placement(std::int32_t x0, std::int32_t y0) {
        make_image(canvas, 5, 4, 32, {7, 7, 7, 7});
        start_session_on(canvas);
        draw_image_alpha(image_handle(layer), x0, y0, 255);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x) {
                const std::int64_t sx = std::int64_t{x} - x0, sy = std::int64_t{y} - y0;
                const bool covered =
                    sx >= 0 && sx < image_width(layer) && sy >= 0 && sy < image_height(layer);
                const px want = covered ? px{static_cast<int>(sx), static_cast<int>(sy), 99, 255}
                                        : px{7, 7, 7, 7};
                ASSERT_EQ(get_pixel(canvas, x, y), want)
                    << "placed at " << x0 << "," << y0 << " pixel " << x << "," << y;
            }
        draw_stop();
    }
};

TEST_F(ClippedDrawingTest, EveryPlacementAroundTheDestinationShowsTheRightSourcePixels) {
    make_coordinate_layer(3, 2);
    for (std::int32_t y0 = -3; y0 <= 5; ++y0)
        for (std::int32_t x0 = -4; x0 <= 6; ++x0)
            expect_placement(x0, y0);
}

TEST_F(ClippedDrawingTest, SourceLargerThanDestinationAtNegativePosition) {
    make_coordinate_layer(9, 8);
    expect_placement(-2, -3);
}

TEST_F(ClippedDrawingTest, ExtremePositionsDrawNothing) {
    make_coordinate_layer(3, 2);
    expect_placement(int_min, int_min);
    expect_placement(int_max, int_max);
    expect_placement(int_max - 1, -1);
}

} // namespace
} // namespace korvel::test
