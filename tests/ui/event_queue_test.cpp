// The event queue: order, duplicates of the newest waiting event, and what the event queries
// report between two waits.
#include "toolkit_fixture.h"

#include "ui/event.h"
#include "ui/gadget.h"
#include "ui/window.h"

#include <QApplication>
#include <QFocusEvent>
#include <QTest>
#include <QTimer>

namespace korvel {
namespace {

class event_queue_test : public toolkit_test {
protected:
    void SetUp() override {
        toolkit_test::SetUp();
        ASSERT_NE(window_open(0, 0, 0, 200, 100, u"events", 0xCA0001), 0);
        ASSERT_NE(gadget_string(2, 0, 0, 80, 20, u""), 0);
        ASSERT_NE(gadget_button(3, 100, 0, 40, 20, u"a"), 0);
        ASSERT_NE(gadget_button(6, 100, 30, 40, 20, u"b"), 0);
        // The buttons take the focus when clicked; keep the string gadget out of it.
        QWidget* window = widget_of_window(0);
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        control_of(3)->setFocus();
        take_events();
    }

    static void send_focus(QEvent::Type type) {
        QFocusEvent event(type, Qt::OtherFocusReason);
        QApplication::sendEvent(control_of(2), &event);
    }
};

TEST_F(event_queue_test, AnEventLikeTheNewestWaitingOneIsDeliveredOnce) {
    send_focus(QEvent::FocusIn);
    send_focus(QEvent::FocusIn);
    send_focus(QEvent::FocusOut);
    // Like an older waiting event but not like the newest: it counts.
    send_focus(QEvent::FocusIn);
    const auto events = take_gadget_events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].type, TYPE_FOCUS);
    EXPECT_EQ(events[1].type, TYPE_LOST_FOCUS);
    EXPECT_EQ(events[2].type, TYPE_FOCUS);
}

TEST_F(event_queue_test, AnEventAlreadyFetchedDoesNotHideItsTwin) {
    send_focus(QEvent::FocusIn);
    ASSERT_EQ(take_gadget_events().size(), 1u);
    send_focus(QEvent::FocusIn);
    EXPECT_EQ(take_gadget_events().size(), 1u);
}

TEST_F(event_queue_test, EventsComeOldestFirst) {
    QTest::mouseClick(control_of(6), Qt::LeftButton);
    QTest::mouseClick(control_of(3), Qt::LeftButton);
    send_focus(QEvent::FocusIn);
    const auto events = take_gadget_events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].gadget, 6);
    EXPECT_EQ(events[1].gadget, 3);
    EXPECT_EQ(events[2].gadget, 2);
}

TEST_F(event_queue_test, QueriesReadTheLastFetchedEventOnly) {
    QTest::mouseClick(control_of(3), Qt::LeftButton);
    QTest::mouseClick(control_of(6), Qt::LeftButton);
    QApplication::processEvents();
    ASSERT_EQ(window_wait_event(), EVENT_GADGET);
    EXPECT_EQ(event_gadget(), 3);
    EXPECT_EQ(event_type(), 0);
    // Another click waits in the queue and more arrive: the answers stay those of gadget 3.
    QTest::mouseClick(control_of(6), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(event_gadget(), 3);
    EXPECT_EQ(event_window(), 0);
    ASSERT_EQ(window_wait_event(), EVENT_GADGET);
    EXPECT_EQ(event_gadget(), 6);
}

TEST_F(event_queue_test, InputKeepsTheGadgetAndHasSubtypeMinusOne) {
    QTest::mouseClick(control_of(3), Qt::LeftButton);
    QApplication::processEvents();
    ASSERT_EQ(window_wait_event(), EVENT_GADGET);
    QTest::keyClick(widget_of_window(0), Qt::Key_A);
    QApplication::processEvents();
    EXPECT_EQ(window_wait_event(), EVENT_KEY_DOWN);
    EXPECT_EQ(event_gadget(), 3);
    EXPECT_EQ(event_window(), 0);
    EXPECT_EQ(event_type(), -1);
}

TEST_F(event_queue_test, WaitingServesTheWindowsUntilAnEventArrives) {
    // The click is only delivered by the wait itself, which must not return before it.
    QTimer::singleShot(20, [] { QTest::mouseClick(control_of(6), Qt::LeftButton); });
    EXPECT_EQ(window_wait_event(), EVENT_GADGET);
    EXPECT_EQ(event_gadget(), 6);
}

} // namespace
} // namespace korvel
