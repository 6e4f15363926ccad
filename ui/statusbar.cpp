// The status-bar table, the current status bar of each thread and the status-bar operations.
#include "ui/statusbar.h"

#include "runtime/thread_data.h"
#include "ui/object_handles.h"
#include "ui/qt_text.h"
#include "ui/statusbar_record.h"
#include "ui/statusbar_widget.h"
#include "ui/toolkit.h"
#include "ui/ui_calls.h"
#include "ui/window_flags.h"
#include "ui/window_record.h"
#include "ui/window_widget.h"

#include <cstring>

namespace korvel {
namespace {

struct statusbar_record {
    std::uint32_t handle; // never 0 for a live status bar
    statusbar_widget* widget;
    obj_number window;
};

// The calling thread's current status bar: the last one it created.
struct current_statusbar {
    std::int32_t in_use;
    obj_number number;
};

obj_table* statusbars = nullptr;
std::int32_t current_offset = -1;

statusbar_record* statusbar_lookup(obj_number n) {
    return statusbars ? static_cast<statusbar_record*>(obj_lookup(statusbars, n)) : nullptr;
}

current_statusbar* this_thread_current() {
    return current_offset < 0 ? nullptr
                              : static_cast<current_statusbar*>(thread_data(current_offset));
}

// The status-bar table's free operation.
void free_statusbar(obj_number n) {
    const statusbar_record* record = statusbar_lookup(n);
    if (!record) return;
    delete record->widget;
    obj_clear(statusbars, n);
    current_statusbar* current = this_thread_current();
    if (current && current->in_use && current->number == n) *current = {};
}

} // namespace

void statusbars_init() {
    if (!statusbars) statusbars = table_create(sizeof(statusbar_record), 16, free_statusbar);
    if (current_offset < 0)
        current_offset = thread_data_register(sizeof(current_statusbar), nullptr, nullptr);
}

void statusbars_free_in_window(obj_number window) {
    if (!statusbars) return;
    table_iterate_begin(statusbars);
    obj_number each = 0;
    while (const auto* record =
               static_cast<statusbar_record*>(table_iterate_next(statusbars, &each)))
        if (record->window == window) free_statusbar(each);
}

obj_number statusbar_create(obj_number n, obj_number window) {
    obj_number window_number = 0;
    if (!statusbars || !on_ui_thread() || !window_find_handle(window, &window_number)) return 0;
    const window_record* parent = window_lookup(window_number);
    void* slot = obj_new(statusbars, n);
    if (!slot) return 0;
    const obj_number number = n == NUMBER_ANY ? reinterpret_cast<obj_number>(slot) : n;
    auto* widget = new statusbar_widget(parent->widget, window_resizable(parent->flags));
    widget->show();
    const statusbar_record record{next_object_handle(), widget, window_number};
    std::memcpy(slot, &record, sizeof record);
    if (current_statusbar* current = this_thread_current()) *current = {1, number};
    return n == NUMBER_ANY ? number : static_cast<obj_number>(record.handle);
}

void statusbar_add_field(std::int32_t width) {
    const current_statusbar* current = this_thread_current();
    if (!current || !current->in_use || !on_ui_thread()) return;
    if (const statusbar_record* record = statusbar_lookup(current->number))
        record->widget->add_field(width);
}

void statusbar_free(obj_number n) {
    if (on_ui_thread()) free_statusbar(n);
}

void statusbar_set_text(obj_number n, std::int32_t field, const char16_t* text,
                        std::uint32_t flags) {
    const std::u16string copy = text_copy(text);
    call_for_effect([n, field, &copy, flags] {
        if (const statusbar_record* record = statusbar_lookup(n))
            record->widget->set_text(field, to_qstring(copy), flags);
    });
}

void statusbar_set_progress(obj_number n, std::int32_t field, std::int32_t value,
                            std::int32_t minimum, std::int32_t maximum, std::uint32_t flags) {
    call_for_effect([=] {
        if (const statusbar_record* record = statusbar_lookup(n))
            record->widget->set_progress(field, value, minimum, maximum, flags);
    });
}

} // namespace korvel
