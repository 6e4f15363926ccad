// The gadgets: events come oldest first, one like the newest waiting is dropped (not one like an
// older one or one already fetched), the queries tell the last one fetched; what the program sets
// makes no event, each user action one, and closing the window only asks for it, and a background
// painted anew queues a repaint event. The buttons' images are copied from bitmaps stored bottom
// row first, each row padded.
#include "toolkit_fixture.h"

#include "ui/event.h"
#include "ui/event_queue.h"
#include "ui/gadget.h"
#include "ui/image_copy.h"

#include <QApplication>
#include <QFocusEvent>
#include <QTest>
#include <QWidget>

#include <array>
#include <cstring>

namespace korvel {
namespace {

using gadgets = toolkit_test;

void send_focus(QEvent::Type type) {
    QFocusEvent event(type, Qt::OtherFocusReason);
    QApplication::sendEvent(control_of(INPUT), &event);
}

TEST_F(gadgets, ComeInOrderWithoutTwinsOfTheNewestAndQueriesTellTheLastFetched) {
    for (const QEvent::Type type :
         {QEvent::FocusIn, QEvent::FocusIn, QEvent::FocusOut, QEvent::FocusIn})
        send_focus(type);
    QTest::mouseClick(control_of(OUTPUT_BUTTON), Qt::LeftButton);
    ASSERT_EQ(window_wait_event(), EVENT_GADGET);
    send_focus(QEvent::FocusOut);
    QApplication::processEvents();
    EXPECT_EQ(event_type(), TYPE_FOCUS) << "an event arriving changes no query";
    EXPECT_EQ(take_events(), (std::vector<obj_number>{INPUT, TYPE_LOST_FOCUS, INPUT, TYPE_FOCUS,
                                                      OUTPUT_BUTTON, 0, INPUT, TYPE_LOST_FOCUS}));
}

TEST_F(gadgets, WhatTheProgramSetsMakesNoEventAndEachUserActionOne) {
    gadget_set_state(REVERSE, 1);
    gadget_set_state(START, 7);
    EXPECT_EQ(gadget_get_state(START), 1);
    EXPECT_TRUE(take_events().empty());
    QTest::keyClicks(control_of(LAYERS), QStringLiteral("ab"));
    for (const obj_number gadget : {START, LINK, REVERSE})
        QTest::mouseClick(control_of(gadget), Qt::LeftButton, {}, QPoint(6, 7));
    EXPECT_EQ(take_events(), (std::vector<obj_number>{LAYERS, TYPE_CHANGE, LAYERS, TYPE_CHANGE,
                                                      START, 0, LINK, 0, REVERSE, 0}));
    EXPECT_EQ(gadget_get_state(START) + gadget_get_state(REVERSE), 0);
    EXPECT_FALSE(main_window()->close());
    EXPECT_EQ(window_wait_event(), EVENT_CLOSE_WINDOW);
    EXPECT_TRUE(main_window()->isVisible());
}

TEST_F(gadgets, AWindowWhoseBackgroundIsErasedQueuesARepaintWithoutGadgetOrType) {
    main_window()->repaint();
    main_window()->repaint(); // like the newest waiting
    ASSERT_EQ(event_queue_length(), 1);
    EXPECT_EQ(window_wait_event(), EVENT_REPAINT);
    EXPECT_EQ((std::array{event_gadget(), obj_number{event_type()}, event_window()}),
              (std::array<obj_number, 3>{}));
}

TEST_F(gadgets, TheStartButtonShowsItsPressedImageOnlyWhileDown) {
    const auto centre = [] { return control_of(START)->grab().toImage().pixelColor(52, 22); };
    const QColor face(0x30, 0x60, 0xC0);
    gadget_set_state(START, 1);
    EXPECT_EQ(centre(), face) << "no pressed image yet";
    const image_handle_t pressed = solid_bitmap(20, 20, 0xFF00FF00);
    gadget_set_attribute(START, ATTRIBUTE_PRESSED_IMAGE, pressed);
    bitmap_delete(pressed);
    EXPECT_EQ(centre(), QColor(0, 255, 0));
    gadget_set_state(START, 0);
    EXPECT_EQ(centre(), face);
}

TEST(image_copy, TwentyFourBitRowsComeUprightAndOpaque) {
    const image_handle_t handle = bitmap_create(3, 2, 24);
    const std::uint8_t top[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::memcpy(bitmap_get(handle)->pixels + bitmap_get(handle)->stride, top, sizeof top);
    const QImage copy = image_copy(handle);
    bitmap_delete(handle);
    EXPECT_EQ(copy.pixel(2, 0), qRgba(9, 8, 7, 255));
    EXPECT_EQ(copy.pixel(2, 1), qRgba(0, 0, 0, 255));
}

} // namespace
} // namespace korvel
