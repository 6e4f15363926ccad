// Calls from a second thread: carried out on the interface thread with current results, no
// events, and no hang once the toolkit has ended.
#include "toolkit_fixture.h"

#include "runtime/strings.h"
#include "ui/event.h"
#include "ui/gadget.h"
#include "ui/statusbar.h"
#include "ui/toolkit.h"
#include "ui/window.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QProgressBar>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <chrono>

namespace korvel {
namespace {

class cross_thread_test : public toolkit_test {
protected:
    void SetUp() override {
        toolkit_test::SetUp();
        ASSERT_TRUE(build_main_window_like());
        take_events();
    }
};

// Notes on which thread a widget was changed.
class change_watch : public QObject {
public:
    explicit change_watch(QObject* watched) { watched->installEventFilter(this); }
    bool changed_on_other_thread = false;
    int changes = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::WindowTitleChange) {
            ++changes;
            changed_on_other_thread |= QThread::currentThread() != thread();
        }
        return false;
    }
};

std::u16string text_of(obj_number gadget) {
    const std::int32_t at = ws_position();
    std::u16string text = gadget_get_text(gadget, at);
    ws_restore(at);
    return text;
}

TEST_F(cross_thread_test, ReadsReturnTheCurrentValues) {
    gadget_set_text(2, u"/frames/in/");
    gadget_set_state(22, 1);
    std::u16string input;
    std::int32_t reverse = -5;
    std::int32_t start = -5;
    std::u16string missing = u"unchanged";
    second_thread worker([&] {
        input = text_of(2);
        reverse = gadget_get_state(22);
        start = gadget_get_state(9);
        missing = text_of(77);
    });
    ASSERT_TRUE(worker.serve_until_done());
    EXPECT_EQ(input, u"/frames/in/");
    EXPECT_EQ(reverse, 1);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(missing, u"");
}

TEST_F(cross_thread_test, WritesTakeEffectOnTheInterfaceThreadWithoutEvents) {
    change_watch watch(widget_of_window(0));
    const image_handle_t pressed = solid_bitmap(20, 20, 0xFF00FF00);
    std::int32_t title_result = 0;
    second_thread worker([&] {
        gadget_set_text(5, u"/frames/out/");
        gadget_set_state(9, 1);
        gadget_set_attribute(9, ATTRIBUTE_PRESSED_IMAGE, pressed);
        title_result = window_set_title(0, u"40% - Korvel v0.8");
        statusbar_set_progress(10, 1, 40);
        statusbar_set_text(10, 0, u"Total Images: 12");
    });
    ASSERT_TRUE(worker.serve_until_done());
    bitmap_delete(pressed);
    EXPECT_EQ(title_result, 1);
    EXPECT_EQ(watch.changes, 1);
    EXPECT_FALSE(watch.changed_on_other_thread);
    EXPECT_EQ(widget_of_window(0)->windowTitle(), QStringLiteral("40% - Korvel v0.8"));
    EXPECT_EQ(gadget_text_of(5), QStringLiteral("/frames/out/"));
    EXPECT_EQ(gadget_get_state(9), 1);
    const QColor centre = control_of(9)->grab().toImage().pixelColor(52, 22);
    EXPECT_EQ(centre, QColor(0, 255, 0)) << "the pressed image shows";
    const auto bars = widget_of_window(0)->findChildren<QProgressBar*>();
    ASSERT_EQ(bars.size(), 1);
    EXPECT_EQ(bars[0]->value(), 40);
    EXPECT_TRUE(take_gadget_events().empty());
}

TEST_F(cross_thread_test, AfterTheEndCallsReturnAtOnceWithNothing) {
    gadget_set_text(2, u"kept");
    gadget_set_state(22, 1);
    gadgets_end();
    windows_end();
    std::u16string text = u"unchanged";
    std::int32_t state = -5;
    std::int32_t title = -5;
    second_thread worker([&] {
        text = text_of(2);
        state = gadget_get_state(22);
        title = window_set_title(0, u"late");
        gadget_set_text(2, u"late");
        statusbar_set_progress(10, 1, 50);
    });
    // Nothing serves the calls here: they must not wait for it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!worker.done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(worker.done());
    EXPECT_EQ(text, u"");
    EXPECT_EQ(state, 0);
    EXPECT_EQ(title, 0);
}

TEST_F(cross_thread_test, ACallWaitingWhenTheToolkitEndsIsReleased) {
    gadget_set_state(22, 1);
    std::atomic<bool> calling{false};
    std::int32_t state = -5;
    second_thread worker([&] {
        calling = true;
        state = gadget_get_state(22);
    });
    while (!calling)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // Give the call time to be queued; the interface thread does not serve it.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(worker.done());
    gadgets_end();
    windows_end();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!worker.done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(worker.done());
    EXPECT_EQ(state, 0) << "released, not answered";
    // The call announced before the end finds nothing to do once delivered.
    QCoreApplication::processEvents();
}

TEST_F(cross_thread_test, CallsAreServedWhileTheInterfaceThreadWaitsForEvents) {
    std::int32_t state = -5;
    second_thread worker([&] {
        gadget_set_state(22, 1);
        state = gadget_get_state(22);
    });
    // The calls produce no event, so a close request ends the wait once the worker is through
    // (or after about five seconds, which the check below then reports).
    QTimer poll;
    int ticks = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!worker.done() && ++ticks < 5000) return;
        poll.stop();
        widget_of_window(0)->close();
    });
    poll.start(1);
    EXPECT_EQ(window_wait_event(), EVENT_CLOSE_WINDOW);
    EXPECT_TRUE(worker.done());
    EXPECT_EQ(state, 1);
}

} // namespace
} // namespace korvel
