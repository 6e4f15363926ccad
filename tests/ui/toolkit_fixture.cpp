// What the toolkit's tests share.
#include "toolkit_fixture.h"

#include "runtime/strings.h"
#include "ui/event.h"
#include "ui/event_queue.h"
#include "ui/gadget.h"
#include "ui/gadget_record.h"
#include "ui/statusbar.h"
#include "ui/toolkit.h"
#include "ui/window.h"
#include "ui/window_record.h"
#include "ui/window_widget.h"

#include <QCoreApplication>
#include <QTest>

#include <chrono>
#include <cstring>

namespace korvel {

void toolkit_test::SetUp() {
    // The tests need no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    strings_init();
    events_init();
    windows_init();
    gadgets_init();
    controls_init();
    statusbars_init();
}

void toolkit_test::TearDown() {
    gadgets_end();
    windows_end();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

std::vector<seen_event> take_events() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    std::vector<seen_event> events;
    while (event_queue_length() > 0) {
        const std::int32_t code = window_wait_event();
        events.push_back({code, event_gadget(), event_type(), event_window()});
    }
    return events;
}

std::vector<seen_event> take_gadget_events() {
    std::vector<seen_event> gadget_events;
    for (const seen_event& event : take_events())
        if (event.code == EVENT_GADGET) gadget_events.push_back(event);
    return gadget_events;
}

bool serve_until(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        QTest::qWait(2);
    return done();
}

second_thread::second_thread(std::function<void()> work)
    : thread_([this, work = std::move(work)] {
          strings_thread_init();
          work();
          done_ = true;
      }) {}

second_thread::~second_thread() {
    thread_.join();
}

bool second_thread::serve_until_done() {
    return serve_until([this] { return done(); });
}

image_handle_t solid_bitmap(std::int32_t width, std::int32_t height, std::uint32_t bgra) {
    const image_handle_t handle = bitmap_create(width, height, 32);
    if (bitmap* pixels = bitmap_get(handle))
        for (std::int32_t row = 0; row < height; ++row)
            for (std::int32_t x = 0; x < width; ++x)
                std::memcpy(pixels->pixels + row * pixels->stride + x * 4, &bgra, 4);
    return handle;
}

bool build_main_window_like() {
    static const image_handle_t face = solid_bitmap(97, 37, 0xFF3060C0);
    bool made = window_open(0, 0, 0, 330, 180, u"Korvel v0.8", 0xCA0001) != 0;
    made = made && gadget_text(1, 10, 15, 70, 15, u"Input Folder:");
    made = made && gadget_string(2, 80, 10, 220, 20, u"");
    made = made && gadget_button(3, 300, 10, 20, 20, u"...");
    made = made && gadget_text(4, 10, 45, 70, 15, u"Output Folder:");
    made = made && gadget_string(5, 80, 40, 220, 20, u"");
    made = made && gadget_button(6, 300, 40, 20, 20, u"...");
    made = made && gadget_frame(7, 10, 70, 105, 50, u"Layers per Frame");
    made = made && gadget_string(8, 25, 90, 35, 20, u"100");
    made = made && gadget_image_button(9, 215, 75, 105, 45, face, BUTTON_TOGGLE);
    made = made && statusbar_create(10, window_handle(0));
    if (!made) return false;
    statusbar_add_field(165);
    statusbar_add_field(165);
    statusbar_set_text(10, 0, u"Total Images: 0");
    statusbar_set_progress(10, 1, 0);
    made = made && gadget_frame(15, 125, 70, 80, 50, u"Alpha Levels");
    made = made && gadget_string(16, 145, 90, 40, 20, u"255");
    made = made && gadget_hyperlink(19, 97, 132, 135, 15, u"https://korvel.example.org/", 0xFF0000);
    made = made && gadget_checkbox(22, 65, 95, 40, 15, u"Rev.");
    gadget_set_state(22, 0);
    return made;
}

QWidget* control_of(obj_number gadget) {
    const gadget_record* record = gadget_lookup(gadget);
    return record ? record->control : nullptr;
}

QWidget* widget_of_window(obj_number window) {
    const window_record* record = window_lookup(window);
    return record ? record->widget : nullptr;
}

QString gadget_text_of(obj_number gadget) {
    const std::int32_t at = ws_position();
    const QString text = QString::fromUtf16(gadget_get_text(gadget, at));
    ws_restore(at);
    return text;
}

} // namespace korvel
