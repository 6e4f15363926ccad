// Every row of the drawing-mode tables: for each source depth, destination depth and mode, one
// 3 x 2 source drawn over a 3 x 2 destination, with the expected pixel worked out by hand from
// source (200, 100, 50, alpha 128) and destination (10, 20, 30, alpha 200). The padding bytes at
// the end of 24-bit destination rows must survive every drawing.
#include "tests/drawing/test_images.h"

#include <string>

namespace korvel::test {
namespace {

constexpr obj_number canvas = 0;
constexpr obj_number layer = 1;
constexpr int padding_marker = 0xAB;

enum class call { alpha, image };

struct mode_case {
    const char* name;
    std::uint32_t mode;
    int source_depth;
    int target_depth;
    call how;
    int opacity;
    px expected;
};

constexpr px unchanged32{10, 20, 30, 200};
constexpr px unchanged24{10, 20, 30, no_alpha};

// Source 32-bit: a = 128 * 200 / 255 = 100 at opacity 200.
const mode_case bgra_cases[] = {
    {"CallbackDefaultKeepsDestination32", MODE_PIXEL_CALLBACK, 32, 32, call::alpha, 200,
     unchanged32},
    {"CallbackDefaultKeepsDestination24", MODE_PIXEL_CALLBACK, 32, 24, call::alpha, 200,
     unchanged24},
    {"CallbackOutranksXor", MODE_PIXEL_CALLBACK | MODE_XOR_COLOUR, 32, 32, call::alpha, 200,
     unchanged32},
    {"XorColourKeepsAlpha", MODE_XOR_COLOUR, 32, 32, call::alpha, 200, {194, 112, 44, 200}},
    {"XorColourOnto24", MODE_XOR_COLOUR, 32, 24, call::alpha, 200, {194, 112, 44, no_alpha}},
    {"XorOutranksCopyWithAlpha",
     MODE_XOR_COLOUR | MODE_COPY_WITH_ALPHA,
     32,
     32,
     call::alpha,
     200,
     {194, 112, 44, 200}},
    {"CopyWithAlphaFullOpacityCopiesAllFour",
     MODE_COPY_WITH_ALPHA,
     32,
     32,
     call::alpha,
     255,
     {200, 100, 50, 128}},
    {"CopyWithAlphaScalesAlpha",
     MODE_COPY_WITH_ALPHA,
     32,
     32,
     call::alpha,
     200,
     {200, 100, 50, 100}},
    {"CopyWithAlphaClearsOver",
     MODE_COPY_WITH_ALPHA | MODE_OVER,
     32,
     32,
     call::alpha,
     200,
     {200, 100, 50, 100}},
    {"CopyWithAlphaDroppedOn24Blends",
     MODE_COPY_WITH_ALPHA,
     32,
     24,
     call::alpha,
     200,
     {84, 51, 37, no_alpha}},
    {"AlphaOnlyScaled", MODE_WRITE_ALPHA_ONLY, 32, 32, call::alpha, 200, {10, 20, 30, 100}},
    {"AlphaOnlyFullOpacityIsSourceAlpha",
     MODE_WRITE_ALPHA_ONLY,
     32,
     32,
     call::alpha,
     255,
     {10, 20, 30, 128}},
    {"AlphaOnlyOnto24DrawsNothing", MODE_WRITE_ALPHA_ONLY, 32, 24, call::alpha, 200, unchanged24},
    {"OverOperator", MODE_OVER, 32, 32, call::alpha, 200, {95, 56, 39, 221}},
    {"OverAppliesToDrawImage", MODE_OVER, 32, 32, call::image, 255, {116, 64, 41, 227}},
    {"OverOnto24Blends", MODE_OVER, 32, 24, call::alpha, 200, {84, 51, 37, no_alpha}},
    {"OverKeepAlpha", MODE_OVER_KEEP_ALPHA, 32, 32, call::alpha, 200, {95, 56, 39, 200}},
    {"OverOutranksOverKeepAlpha",
     MODE_OVER | MODE_OVER_KEEP_ALPHA,
     32,
     32,
     call::alpha,
     200,
     {95, 56, 39, 221}},
    {"OverKeepAlphaOnto24Blends",
     MODE_OVER_KEEP_ALPHA,
     32,
     24,
     call::alpha,
     200,
     {84, 51, 37, no_alpha}},
    {"DefaultAlphaDrawingIsOver", 0, 32, 32, call::alpha, 200, {95, 56, 39, 221}},
    {"DefaultAlphaDrawingOnto24Blends", 0, 32, 24, call::alpha, 200, {84, 51, 37, no_alpha}},
    {"DefaultImageCopiesColourKeepsAlpha", 0, 32, 32, call::image, 255, {200, 100, 50, 200}},
    {"DefaultImageOnto24CopiesColour", 0, 32, 24, call::image, 255, {200, 100, 50, no_alpha}},
};

// Source 24-bit: the opacity is the source alpha.
const mode_case bgr_cases[] = {
    {"CallbackDefaultKeepsDestination32", MODE_PIXEL_CALLBACK, 24, 32, call::alpha, 200,
     unchanged32},
    {"CallbackDefaultKeepsDestination24", MODE_PIXEL_CALLBACK, 24, 24, call::alpha, 200,
     unchanged24},
    {"XorColourIgnoresOpacity", MODE_XOR_COLOUR, 24, 32, call::alpha, 0, {194, 112, 44, 200}},
    {"XorColourOnto24", MODE_XOR_COLOUR, 24, 24, call::alpha, 200, {194, 112, 44, no_alpha}},
    {"CopyWithAlphaTakesOpacityAsAlpha",
     MODE_COPY_WITH_ALPHA,
     24,
     32,
     call::alpha,
     77,
     {200, 100, 50, 77}},
    {"AlphaOnlyWritesOpacity", MODE_WRITE_ALPHA_ONLY, 24, 32, call::alpha, 77, {10, 20, 30, 77}},
    {"AlphaOnlyOnto24DrawsNothing", MODE_WRITE_ALPHA_ONLY, 24, 24, call::alpha, 77, unchanged24},
    {"OverWithOpacityAsAlpha", MODE_OVER, 24, 32, call::alpha, 200, {166, 85, 46, 243}},
    {"OverAtFullOpacitySetsAlpha", MODE_OVER, 24, 32, call::alpha, 255, {200, 100, 50, 255}},
    {"OverAtZeroOpacityDrawsNothing", MODE_OVER, 24, 32, call::alpha, 0, unchanged32},
    {"OverOnto24FollowsOpacityRows", MODE_OVER, 24, 24, call::alpha, 200, {159, 82, 45, no_alpha}},
    {"OverOnto24FullOpacityCopies", MODE_OVER, 24, 24, call::alpha, 255, {200, 100, 50, no_alpha}},
    {"OverKeepAlpha", MODE_OVER_KEEP_ALPHA, 24, 32, call::alpha, 200, {166, 85, 46, 200}},
    {"FullOpacityCopiesColourKeepsAlpha", 0, 24, 32, call::alpha, 255, {200, 100, 50, 200}},
    {"FullOpacityOnto24Copies", 0, 24, 24, call::alpha, 255, {200, 100, 50, no_alpha}},
    {"ZeroOpacityDrawsNothing", 0, 24, 32, call::alpha, 0, unchanged32},
    {"ZeroOpacityOnto24DrawsNothing", 0, 24, 24, call::alpha, 0, unchanged24},
    {"PartialOpacityIsOver", 0, 24, 32, call::alpha, 200, {166, 85, 46, 243}},
    {"PartialOpacityOnto24Mixes", 0, 24, 24, call::alpha, 200, {159, 82, 45, no_alpha}},
    {"DefaultImageCopiesColourKeepsAlpha", 0, 24, 32, call::image, 255, {200, 100, 50, 200}},
};

class ModeRowTest : public DrawingTest, public ::testing::WithParamInterface<mode_case> {
protected:
    void mark_padding() {
        bitmap* b = bitmap_of(canvas);
        for (int row = 0; row < b->height; ++row)
            for (int i = b->width * 3; i < b->stride; ++i)
                b->pixels[row * b->stride + i] = padding_marker;
    }
    void expect_padding_intact() {
        bitmap* b = bitmap_of(canvas);
        for (int row = 0; row < b->height; ++row)
            for (int i = b->width * 3; i < b->stride; ++i)
                EXPECT_EQ(b->pixels[row * b->stride + i], padding_marker) << row << ":" << i;
    }
};

TEST_P(ModeRowTest, DrawsExpectedPixelEverywhere) {
    const mode_case& c = GetParam();
    make_image(canvas, 3, 2, c.target_depth, unchanged32);
    make_image(layer, 3, 2, c.source_depth, {200, 100, 50, 128});
    if (c.target_depth == 24) mark_padding();
    start_session_on(canvas);
    draw_mode(c.mode);
    if (c.how == call::alpha)
        draw_image_alpha(image_handle(layer), 0, 0, c.opacity);
    else
        draw_image(image_handle(layer), 0, 0);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(get_pixel(canvas, x, y), c.expected) << x << "," << y;
    if (c.target_depth == 24) expect_padding_intact();
}

std::string case_name(const ::testing::TestParamInfo<mode_case>& info) {
    return std::string(info.param.name) + "_" + std::to_string(info.param.source_depth) + "to" +
           std::to_string(info.param.target_depth);
}

INSTANTIATE_TEST_SUITE_P(BgraSource, ModeRowTest, ::testing::ValuesIn(bgra_cases), case_name);
INSTANTIATE_TEST_SUITE_P(BgrSource, ModeRowTest, ::testing::ValuesIn(bgr_cases), case_name);

} // namespace
} // namespace korvel::test
