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

#include <algorithm>
#include <chrono>

namespace korvel {

void toolkit_test::SetUp() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    strings_init();
    events_init();
    windows_init();
    gadgets_init();
    controls_init();
    statusbars_init();
    static const image_handle_t face = solid_bitmap(97, 37, 0xFF3060C0);
    ASSERT_NE(window_open(0, 0, 0, 330, 180, u"Korvel v0.8", 0xCA0001), 0);
    gadget_string(INPUT, 80, 10, 220, 20, u"");
    gadget_button(INPUT_BUTTON, 300, 10, 20, 20, u"...");
    gadget_string(OUTPUT, 80, 40, 220, 20, u"");
    gadget_button(OUTPUT_BUTTON, 300, 40, 20, 20, u"...");
    gadget_string(LAYERS, 25, 90, 35, 20, u"100");
    gadget_image_button(START, 215, 75, 105, 45, face, BUTTON_TOGGLE);
    statusbar_create(BAR, window_handle(0));
    statusbar_add_field(165);
    statusbar_add_field(165);
    statusbar_set_progress(BAR, 1, 0);
    gadget_string(ALPHA, 145, 90, 40, 20, u"255");
    gadget_hyperlink(LINK, 97, 132, 135, 15, u"https://korvel.example.org/", 0xFF0000);
    ASSERT_NE(gadget_checkbox(REVERSE, 65, 95, 40, 15, u"Rev."), 0);
    main_window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main_window()));
    control_of(START)->setFocus(); // so that clicks on buttons take no focus from a field
    take_events();
}

std::vector<obj_number> take_events() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    std::vector<obj_number> events;
    while (event_queue_length() > 0)
        if (window_wait_event() == EVENT_GADGET)
            events.insert(events.end(), {event_gadget(), event_type()});
    return events;
}

bool serve_until(const std::function<bool()>& done, bool serving) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        serving ? QTest::qWait(2) : std::this_thread::yield();
    return done();
}

second_thread::second_thread(std::function<void()> work)
    : thread([this, work = std::move(work)] {
          strings_thread_init();
          work();
          done = true;
      }) {}

image_handle_t solid_bitmap(std::int32_t width, std::int32_t height, std::uint32_t colour) {
    const image_handle_t handle = bitmap_create(width, height, 32);
    // Rows of 32-bit pixels need no padding.
    std::fill_n(reinterpret_cast<std::uint32_t*>(bitmap_get(handle)->pixels), width * height,
                colour);
    return handle;
}

QWidget* control_of(obj_number gadget) {
    const gadget_record* record = gadget_lookup(gadget);
    return record ? record->control : nullptr;
}

QWidget* main_window() {
    const window_record* record = window_lookup(0);
    return record ? record->widget : nullptr;
}

QString text_of(obj_number gadget) {
    const std::int32_t at = ws_position();
    const QString text = QString::fromUtf16(gadget_get_text(gadget, at));
    ws_restore(at);
    return text;
}

} // namespace korvel
