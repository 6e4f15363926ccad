// Image buttons: the toggle, which image shows when, and the premultiplied drawing copy.
#include "toolkit_fixture.h"

#include "ui/event.h"
#include "ui/gadget.h"
#include "ui/image_copy.h"
#include "ui/window.h"

#include <QPushButton>
#include <QTest>

#include <cstdlib>
#include <cstring>

namespace korvel {
namespace {

// Stored blue, green, red, alpha bytes read as one little-endian word: alpha is the top byte.
constexpr std::uint32_t opaque_red = 0xFFFF0000;
constexpr std::uint32_t opaque_green = 0xFF00FF00;

class image_button_test : public toolkit_test {
protected:
    void SetUp() override {
        toolkit_test::SetUp();
        ASSERT_NE(window_open(0, 0, 0, 200, 100, u"images", 0xCA0001), 0);
        red_ = solid_bitmap(10, 10, opaque_red);
        green_ = solid_bitmap(10, 10, opaque_green);
    }
    void TearDown() override {
        toolkit_test::TearDown();
        bitmap_delete(red_);
        bitmap_delete(green_);
    }

    // The colour at a point of the button as it is drawn now.
    static QColor drawn_at(obj_number gadget, QPoint point) {
        return control_of(gadget)->grab().toImage().pixelColor(point);
    }

    image_handle_t red_ = 0;
    image_handle_t green_ = 0;
};

TEST_F(image_button_test, ToggleClickIsOneEventWithTheNewStateAlreadySet) {
    ASSERT_NE(gadget_image_button(9, 10, 10, 40, 30, red_, BUTTON_TOGGLE), 0);
    take_events();
    auto* button = static_cast<QPushButton*>(control_of(9));
    QTest::mouseClick(button, Qt::LeftButton);
    QCoreApplication::processEvents();
    ASSERT_EQ(window_wait_event(), EVENT_GADGET);
    EXPECT_EQ(event_gadget(), 9);
    EXPECT_EQ(event_type(), 0);
    EXPECT_EQ(gadget_get_state(9), 1);
    EXPECT_TRUE(take_gadget_events().empty());

    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_EQ(take_gadget_events().size(), 1u);
    EXPECT_EQ(gadget_get_state(9), 0);

    gadget_set_state(9, 7);
    EXPECT_EQ(gadget_get_state(9), 1);
    gadget_set_state(9, 0);
    EXPECT_EQ(gadget_get_state(9), 0);
    EXPECT_TRUE(take_gadget_events().empty());
}

TEST_F(image_button_test, WithoutToggleAClickLeavesTheButtonUp) {
    ASSERT_NE(gadget_image_button(9, 10, 10, 40, 30, red_, 0), 0);
    take_events();
    QTest::mouseClick(control_of(9), Qt::LeftButton);
    EXPECT_EQ(take_gadget_events().size(), 1u);
    EXPECT_EQ(gadget_get_state(9), 0);
}

TEST_F(image_button_test, PressedImageShowsOnlyOnceSetAndWhileDown) {
    ASSERT_NE(gadget_image_button(9, 10, 10, 40, 30, red_, BUTTON_TOGGLE), 0);
    const QPoint centre(20, 15);
    EXPECT_EQ(drawn_at(9, centre), QColor(255, 0, 0));
    gadget_set_state(9, 1);
    EXPECT_EQ(drawn_at(9, centre), QColor(255, 0, 0)) << "no pressed image yet";
    gadget_set_attribute(9, ATTRIBUTE_PRESSED_IMAGE, green_);
    EXPECT_EQ(drawn_at(9, centre), QColor(0, 255, 0));
    gadget_set_state(9, 0);
    EXPECT_EQ(drawn_at(9, centre), QColor(255, 0, 0));
    gadget_set_attribute(9, ATTRIBUTE_IMAGE, green_);
    EXPECT_EQ(drawn_at(9, centre), QColor(0, 255, 0));
    gadget_set_attribute(9, ATTRIBUTE_IMAGE, 0);
    EXPECT_NE(drawn_at(9, centre), QColor(0, 255, 0));
}

TEST_F(image_button_test, ImageIsCentredAndSinksOnePixelWhilePushed) {
    ASSERT_NE(gadget_image_button(9, 10, 10, 40, 30, red_, 0), 0);
    const QColor red(255, 0, 0);
    // (40 - 10) / 2 = 15 and (30 - 10) / 2 = 10: the image covers 15..24 by 10..19.
    EXPECT_EQ(drawn_at(9, {15, 10}), red);
    EXPECT_EQ(drawn_at(9, {24, 19}), red);
    EXPECT_NE(drawn_at(9, {25, 20}), red);
    static_cast<QPushButton*>(control_of(9))->setDown(true);
    EXPECT_NE(drawn_at(9, {15, 10}), red);
    EXPECT_EQ(drawn_at(9, {25, 20}), red);
}

TEST_F(image_button_test, ADisabledButtonShowsItsImageGreyed) {
    ASSERT_NE(gadget_image_button(9, 10, 10, 40, 30, red_, 0), 0);
    control_of(9)->setEnabled(false);
    const QColor shown = drawn_at(9, {20, 15});
    EXPECT_LT(std::abs(shown.red() - shown.green()), 40) << "grey, not red";
    EXPECT_LT(std::abs(shown.red() - shown.blue()), 40) << "grey, not red";
}

TEST_F(image_button_test, TheImageIsCopiedSoItMayBeFreedAfterwards) {
    const image_handle_t temporary = solid_bitmap(10, 10, opaque_green);
    ASSERT_NE(gadget_image_button(9, 10, 10, 40, 30, temporary, 0), 0);
    bitmap_delete(temporary);
    EXPECT_EQ(drawn_at(9, {20, 15}), QColor(0, 255, 0));
}

TEST(image_copy, PremultipliesTranslucentPixelsByShiftingAndTurnsRowsUpright) {
    const image_handle_t handle = bitmap_create(2, 2, 32);
    bitmap* source = bitmap_get(handle);
    ASSERT_NE(source, nullptr);
    // Bottom row (stored first): an opaque pixel and a transparent one.
    const std::uint8_t bottom[8] = {10, 20, 30, 255, 200, 100, 50, 0};
    // Top row: alpha 128 and alpha 1.
    const std::uint8_t top[8] = {200, 100, 255, 128, 255, 255, 255, 1};
    std::memcpy(source->pixels, bottom, 8);
    std::memcpy(source->pixels + source->stride, top, 8);
    const QImage copy = image_copy(handle);
    bitmap_delete(handle);
    ASSERT_EQ(copy.format(), QImage::Format_ARGB32_Premultiplied);
    ASSERT_EQ(copy.size(), QSize(2, 2));
    EXPECT_EQ(copy.pixel(0, 0), qRgba(255 * 128 >> 8, 100 * 128 >> 8, 200 * 128 >> 8, 128));
    EXPECT_EQ(copy.pixel(1, 0), qRgba(0, 0, 0, 1));
    EXPECT_EQ(copy.pixel(0, 1), qRgba(30, 20, 10, 255));
    EXPECT_EQ(copy.pixel(1, 1), qRgba(0, 0, 0, 0));
}

TEST(image_copy, TwentyFourBitPixelsBecomeOpaqueAndBadHandlesNothing) {
    const image_handle_t handle = bitmap_create(3, 2, 24);
    bitmap* source = bitmap_get(handle);
    ASSERT_NE(source, nullptr);
    const std::uint8_t top[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::memcpy(source->pixels + source->stride, top, 9);
    const QImage copy = image_copy(handle);
    bitmap_delete(handle);
    ASSERT_EQ(copy.size(), QSize(3, 2));
    EXPECT_EQ(copy.pixel(2, 0), qRgba(9, 8, 7, 255));
    EXPECT_EQ(copy.pixel(2, 1), qRgba(0, 0, 0, 255));
    EXPECT_TRUE(image_copy(0).isNull());
    EXPECT_TRUE(image_copy(handle).isNull()) << "a deleted handle names nothing";
}

} // namespace
} // namespace korvel
