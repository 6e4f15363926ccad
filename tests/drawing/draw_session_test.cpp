// The session rules: which images can be targets, what draw_start accepts, the mode bits, ending
// a session (twice, or by replacing it), drawing without a session, and one session per thread.
#include "tests/drawing/test_images.h"

#include <thread>

namespace korvel::test {
namespace {

constexpr obj_number canvas = 0;
constexpr obj_number layer = 1;
constexpr obj_number other = 2;

// Puts another object's handle into image n's record for the life of the scope, so that an image
// can hold what only the file loaders otherwise make (icons, 16-bit bitmaps).
class swapped_handle {
public:
    swapped_handle(obj_number n, image_handle_t replacement)
        : record_(image_lookup(n)), original_(record_->handle), replacement_(replacement) {
        record_->handle = replacement;
    }
    ~swapped_handle() {
        record_->handle = original_;
        bitmap_delete(replacement_);
    }
    swapped_handle(const swapped_handle&) = delete;
    swapped_handle& operator=(const swapped_handle&) = delete;

private:
    image_record* record_;
    image_handle_t original_;
    image_handle_t replacement_;
};

using SessionTest = DrawingTest;

TEST_F(SessionTest, ImageOutputRefusesIconAndSixteenBitBitmap) {
    make_image(canvas, 2, 2, 24, {0, 0, 0, 0});
    const std::uint8_t rows[16] = {};
    {
        swapped_handle icon(canvas, icon_create(2, 2, 32, rows));
        EXPECT_EQ(image_output(canvas), nullptr);
    }
    {
        swapped_handle sixteen(canvas, bitmap_create_exact(2, 2, 16));
        EXPECT_EQ(image_output(canvas), nullptr);
    }
    EXPECT_NE(image_output(canvas), nullptr);
}

TEST_F(SessionTest, MissingImageIsRefusedAndLeavesCurrentSessionAlone) {
    make_image(canvas, 1, 1, 32, {0, 0, 0, 0});
    make_image(layer, 1, 1, 32, {1, 2, 3, 255});
    EXPECT_EQ(image_output(5), nullptr);
    EXPECT_EQ(draw_start(nullptr), 0);
    start_session_on(canvas);
    draw_mode(MODE_OVER);
    EXPECT_EQ(image_output(7), nullptr);
    EXPECT_EQ(draw_start(nullptr), 0);
    EXPECT_EQ(draw_current_mode(), MODE_OVER);
    draw_image_alpha(image_handle(layer), 0, 0, 255);
    EXPECT_EQ(get_pixel(canvas, 0, 0), (px{1, 2, 3, 255}));
}

TEST_F(SessionTest, CopyWithAlphaClearsBlendingBitsAndNeedsAlphaByte) {
    make_image(canvas, 1, 1, 32, {0, 0, 0, 0});
    make_image(other, 1, 1, 24, {0, 0, 0, 0});
    start_session_on(canvas);
    draw_mode(MODE_COPY_WITH_ALPHA | MODE_OVER);
    EXPECT_EQ(draw_current_mode(), MODE_COPY_WITH_ALPHA);
    draw_mode(MODE_COPY_WITH_ALPHA | MODE_WRITE_ALPHA_ONLY | MODE_OVER_KEEP_ALPHA |
              MODE_XOR_COLOUR);
    EXPECT_EQ(draw_current_mode(), MODE_COPY_WITH_ALPHA | MODE_XOR_COLOUR);
    draw_mode(MODE_OVER | MODE_WRITE_ALPHA_ONLY);
    EXPECT_EQ(draw_current_mode(), MODE_OVER | MODE_WRITE_ALPHA_ONLY);

    start_session_on(other);
    draw_mode(MODE_COPY_WITH_ALPHA);
    EXPECT_EQ(draw_current_mode(), 0u);
    draw_mode(MODE_COPY_WITH_ALPHA | MODE_OVER | MODE_PIXEL_CALLBACK);
    EXPECT_EQ(draw_current_mode(), MODE_PIXEL_CALLBACK);
    draw_mode(MODE_OVER);
    EXPECT_EQ(draw_current_mode(), MODE_OVER);
}

TEST_F(SessionTest, DrawingsStayAfterStopWhichIsHarmlessTwiceAndEndsAllDrawing) {
    make_image(canvas, 2, 1, 32, {0, 0, 0, 0});
    make_image(layer, 1, 1, 32, {1, 2, 3, 255});
    draw_state* output = image_output(canvas);
    ASSERT_NE(draw_start(output), 0);
    draw_mode(MODE_OVER);
    draw_image_alpha(image_handle(layer), 1, 0, 255);
    draw_stop();
    draw_stop();
    EXPECT_EQ(draw_start(output), 0); // an ended state cannot start again
    EXPECT_EQ(draw_current_mode(), 0u);
    draw_mode(MODE_XOR_COLOUR);
    draw_image_alpha(image_handle(layer), 0, 0, 255);
    draw_image(image_handle(layer), 0, 0);
    draw_image_sized(image_handle(layer), 0, 0, 1, 1);
    EXPECT_EQ(draw_current_mode(), 0u);
    EXPECT_EQ(get_pixel(canvas, 0, 0), (px{0, 0, 0, 0}));
    EXPECT_EQ(get_pixel(canvas, 1, 0), (px{1, 2, 3, 255}));
}

TEST_F(SessionTest, NewOutputEndsTheOldOneWhoseStateCanNoLongerStart) {
    make_image(canvas, 1, 1, 32, {0, 0, 0, 0});
    make_image(other, 1, 1, 32, {0, 0, 0, 0});
    make_image(layer, 1, 1, 32, {1, 2, 3, 255});
    draw_state* first = image_output(canvas);
    ASSERT_NE(first, nullptr);
    draw_mode(MODE_OVER);
    draw_state* second = image_output(other);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(draw_current_mode(), 0u);
    EXPECT_EQ(draw_start(first), 0);
    EXPECT_NE(draw_start(second), 0);
    draw_image_alpha(image_handle(layer), 0, 0, 255);
    EXPECT_EQ(get_pixel(other, 0, 0), (px{1, 2, 3, 255}));
    EXPECT_EQ(get_pixel(canvas, 0, 0), (px{0, 0, 0, 0}));
}

TEST_F(SessionTest, FreedTargetIsNotWritten) {
    make_image(canvas, 4, 4, 32, {0, 0, 0, 0});
    make_image(layer, 4, 4, 32, {1, 2, 3, 255});
    start_session_on(canvas);
    image_free(canvas);
    draw_image_alpha(image_handle(layer), 0, 0, 255);
    draw_image(image_handle(layer), 0, 0);
    draw_image_sized(image_handle(layer), 0, 0, 2, 2);
    blit_plan plan;
    EXPECT_EQ(draw_image_alpha_plan(image_handle(layer), 0, 0, 255, &plan), 0);
}

TEST_F(SessionTest, AlphaDrawingAcceptsOnlyBitmaps) {
    make_image(canvas, 2, 2, 32, {0, 0, 0, 0});
    const std::uint8_t rows[16] = {9, 9, 9, 255, 9, 9, 9, 255, 9, 9, 9, 255, 9, 9, 9, 255};
    const image_handle_t icon = icon_create(2, 2, 32, rows);
    start_session_on(canvas);
    draw_image_alpha(icon, 0, 0, 255);
    draw_image_alpha(0, 0, 0, 255);
    draw_image_alpha(0x7FFFFFF0u, 0, 0, 255);
    EXPECT_EQ(get_pixel(canvas, 1, 1), (px{0, 0, 0, 0}));
    draw_image(icon, 0, 0); // plain drawing does take icons
    EXPECT_EQ(get_pixel(canvas, 1, 1), (px{9, 9, 9, 255}));
    bitmap_delete(icon);
}

TEST_F(SessionTest, EachThreadHasItsOwnSession) {
    make_image(canvas, 1, 1, 32, {0, 0, 0, 0});
    make_image(other, 1, 1, 32, {0, 0, 0, 0});
    make_image(layer, 1, 1, 32, {1, 2, 3, 255});
    start_session_on(canvas);
    draw_mode(MODE_OVER);
    const image_handle_t source = image_handle(layer);
    std::uint32_t mode_seen = 99;
    std::thread worker([&] {
        mode_seen = draw_current_mode();
        draw_image_alpha(source, 0, 0, 255); // no session here: nothing is drawn
        draw_state* output = image_output(other);
        if (draw_start(output) != 0) draw_image_alpha(source, 0, 0, 255);
        // The thread ends with its session still open; it is ended with the thread.
    });
    worker.join();
    EXPECT_EQ(mode_seen, 0u);
    EXPECT_EQ(draw_current_mode(), MODE_OVER);
    EXPECT_EQ(get_pixel(canvas, 0, 0), (px{0, 0, 0, 0}));
    EXPECT_EQ(get_pixel(other, 0, 0), (px{1, 2, 3, 255}));
}

} // namespace
} // namespace korvel::test
