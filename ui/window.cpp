// Numbered top-level windows: the window table, opening, closing and the title.
#include "ui/window.h"

#include "ui/event_queue.h"
#include "ui/gadget_record.h"
#include "ui/input_filter.h"
#include "ui/object_handles.h"
#include "ui/qt_text.h"
#include "ui/statusbar_record.h"
#include "ui/toolkit.h"
#include "ui/ui_calls.h"
#include "ui/window_flags.h"
#include "ui/window_record.h"
#include "ui/window_widget.h"

#include <QApplication>
#include <QScreen>

#include <algorithm>
#include <cstring>

namespace korvel {
namespace {

obj_table* windows = nullptr;

QRect screen_area() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect();
}

QRect active_window_area() {
    const QWidget* active = QApplication::activeWindow();
    return active ? active->frameGeometry() : screen_area();
}

void place(window_widget* widget, QPoint position, QSize size, std::uint32_t flags) {
    const bool on_screen = flags & WINDOW_SCREEN_CENTERED;
    const bool on_parent = !on_screen && (flags & WINDOW_PARENT_CENTERED);
    const QRect area = on_screen ? screen_area() : active_window_area();
    if (on_screen && !area.isEmpty()) size = size.boundedTo(area.size());
    // Until the window is framed, its client area stands for its outer size.
    if (on_screen || on_parent) position = centred_in(area, size, on_parent);
    if (window_resizable(flags))
        widget->resize(size);
    else
        widget->setFixedSize(size);
    widget->move(position);
    if (on_screen || on_parent) widget->centre_frame_in(area, on_parent);
}

void show(window_widget* widget, std::uint32_t flags) {
    if (flags & WINDOW_INVISIBLE) return;
    if (flags & WINDOW_MINIMIZED)
        widget->showMinimized();
    else if (flags & WINDOW_MAXIMIZED)
        widget->showMaximized();
    else
        widget->show();
}

// The window table's free operation: the window goes with its gadgets and status bars.
void close_window(obj_number n) {
    window_record* record = window_lookup(n);
    if (!record) return;
    gadgets_free_in_window(n);
    statusbars_free_in_window(n);
    gadget_list_forget(n);
    delete record->widget;
    obj_clear(windows, n);
}

} // namespace

void windows_init() {
    if (!windows) windows = table_create(sizeof(window_record), 16, close_window);
    event_records_init();
    input_filter_install();
    calls_open();
}

void windows_end() {
    calls_close();
    if (windows) table_free_all(windows);
    event_queue_clear();
}

window_record* window_lookup(obj_number n) {
    return windows ? static_cast<window_record*>(obj_lookup(windows, n)) : nullptr;
}

bool window_find_handle(obj_number handle, obj_number* number) {
    if (!windows || handle <= 0) return false;
    bool found = false;
    table_iterate_begin(windows);
    obj_number each = 0;
    // The walk runs to its end, which releases the table's lock.
    while (const auto* record = static_cast<window_record*>(table_iterate_next(windows, &each))) {
        if (!found && record->handle == static_cast<std::uint64_t>(handle)) {
            *number = each;
            found = true;
        }
    }
    return found;
}

obj_number window_open(obj_number n, std::int32_t x, std::int32_t y, std::int32_t width,
                       std::int32_t height, const char16_t* title, std::uint32_t flags) {
    if (!windows || !on_ui_thread()) return 0;
    void* slot = obj_new(windows, n);
    if (!slot) return 0;
    const obj_number number = n == NUMBER_ANY ? reinterpret_cast<obj_number>(slot) : n;
    auto* widget = new window_widget(number, qt_window_flags(flags));
    widget->setWindowTitle(to_qstring(title));
    widget->setFont(gadget_font());
    place(widget, {x, y}, {std::max(width, 0), std::max(height, 0)}, flags);
    const window_record record{next_object_handle(), flags, widget};
    std::memcpy(slot, &record, sizeof record);
    if (!(flags & WINDOW_KEEP_GADGET_LIST)) gadget_list_use(number);
    show(widget, flags);
    return n == NUMBER_ANY ? number : static_cast<obj_number>(record.handle);
}

void window_close(obj_number n) {
    if (windows && on_ui_thread()) close_window(n);
}

obj_number window_handle(obj_number n) {
    const window_record* record = window_lookup(n);
    return record ? static_cast<obj_number>(record->handle) : 0;
}

std::int32_t window_set_title(obj_number n, const char16_t* title) {
    if (!title) return 0;
    const std::u16string text = text_copy(title);
    return static_cast<std::int32_t>(call_for_number([n, &text]() -> std::intptr_t {
        window_record* record = window_lookup(n);
        if (!record) return 0;
        record->widget->setWindowTitle(to_qstring(text));
        return 1;
    }));
}

} // namespace korvel
