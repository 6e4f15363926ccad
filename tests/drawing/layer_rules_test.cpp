// How layers land on the canvas: the first layer at full opacity, sources without alpha, drawings
// that must change nothing, opacities outside 0 to 255, and a whole random layer checked pixel by
// pixel against the plain formula at an awkward offset.
#include "tests/drawing/plain_over.h"
#include "tests/drawing/test_images.h"

namespace korvel::test {
namespace {

constexpr obj_number canvas = 0;
constexpr obj_number layer = 1;
constexpr obj_number copy = 2;

using LayerRuleTest = DrawingTest;

TEST_F(LayerRuleTest, FirstLayerAtFullOpacityReproducesSourceWhereItIsNotTransparent) {
    make_image(canvas, 19, 7, 32, {0, 0, 0, 0});
    make_image(layer, 19, 7, 32, {0, 0, 0, 0});
    randomise(layer, 1);
    start_session_on(canvas);
    draw_image_alpha(image_handle(layer), 0, 0, 255);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 19; ++x) {
            const px source = get_pixel(layer, x, y);
            const px want = source[3] == 0 ? px{0, 0, 0, 0} : source;
            ASSERT_EQ(get_pixel(canvas, x, y), want) << x << "," << y;
        }
}

TEST_F(LayerRuleTest, LayerWithoutAlphaKeepsCanvasAlphaAtFullOpacity) {
    make_image(canvas, 5, 2, 32, {1, 2, 3, 255});
    set_pixel(canvas, 4, 1, {0, 0, 0, 0});
    make_image(layer, 5, 2, 24, {90, 80, 70, 0});
    start_session_on(canvas);
    draw_image_alpha(image_handle(layer), 0, 0, 255);
    EXPECT_EQ(get_pixel(canvas, 0, 0), (px{90, 80, 70, 255}));
    EXPECT_EQ(get_pixel(canvas, 4, 1), (px{90, 80, 70, 0})); // a transparent canvas stays so
    draw_image_alpha(image_handle(layer), 0, 0, 100);
    EXPECT_EQ(get_pixel(canvas, 0, 0)[3], 255);
}

TEST_F(LayerRuleTest, ZeroOpacityAndTransparentSourceChangeNothing) {
    make_image(canvas, 9, 4, 32, {0, 0, 0, 0});
    randomise(canvas, 2);
    copy_image(canvas, copy);
    make_image(layer, 9, 4, 32, {0, 0, 0, 0});
    randomise(layer, 1);
    const obj_number flat = 3;
    make_image(flat, 9, 4, 24, {5, 6, 7, 0});
    const obj_number clear = 4;
    make_image(clear, 9, 4, 32, {200, 150, 100, 0});
    start_session_on(canvas);
    draw_image_alpha(image_handle(layer), 0, 0, 0);
    draw_image_alpha(image_handle(flat), 0, 0, 0);
    for (int opacity : {1, 128, 255})
        draw_image_alpha(image_handle(clear), 0, 0, opacity);
    expect_same_pixels(canvas, copy);
}

TEST_F(LayerRuleTest, OpacitiesOutsideTheRangeAreClamped) {
    make_image(canvas, 6, 3, 32, {0, 0, 0, 0});
    randomise(canvas, 2);
    copy_image(canvas, copy);
    make_image(layer, 6, 3, 32, {0, 0, 0, 0});
    randomise(layer, 1);
    start_session_on(canvas);
    draw_image_alpha(image_handle(layer), 0, 0, -5);
    expect_same_pixels(canvas, copy);

    draw_image_alpha(image_handle(layer), 0, 0, 300);
    draw_stop();
    start_session_on(copy);
    draw_image_alpha(image_handle(layer), 0, 0, 255);
    expect_same_pixels(canvas, copy);
}

TEST_F(LayerRuleTest, RandomLayerAtAnOffsetMatchesFormulaPixelByPixel) {
    for (const int depth : {32, 24}) {
        SCOPED_TRACE(depth);
        make_image(canvas, 23, 13, 32, {0, 0, 0, 0});
        randomise(canvas, 2);
        copy_image(canvas, copy);
        make_image(layer, 17, 9, depth, {0, 0, 0, 0});
        randomise(layer, 1);
        const int x0 = 9, y0 = -2, opacity = 77;
        start_session_on(canvas);
        draw_image_alpha(image_handle(layer), x0, y0, opacity);
        draw_stop();
        for (int y = 0; y < 13; ++y)
            for (int x = 0; x < 23; ++x) {
                px want = get_pixel(copy, x, y);
                const int sx = x - x0, sy = y - y0;
                if (sx >= 0 && sx < 17 && sy >= 0 && sy < 9) {
                    const px s = get_pixel(layer, sx, sy);
                    std::uint8_t d[4], src[4];
                    for (int c = 0; c < 4; ++c) {
                        d[c] = static_cast<std::uint8_t>(want[c]);
                        src[c] = static_cast<std::uint8_t>(s[c]);
                    }
                    const int a = depth == 32 ? s[3] * opacity / 255 : opacity;
                    plain::over_pixel(d, src, a, false);
                    want = {d[0], d[1], d[2], d[3]};
                }
                ASSERT_EQ(get_pixel(canvas, x, y), want) << x << "," << y;
            }
    }
}

} // namespace
} // namespace korvel::test
