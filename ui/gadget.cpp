// The gadget table, the current gadget list of each thread and the operations common to every
// gadget kind.
#include "ui/gadget.h"

#include "runtime/thread_data.h"
#include "ui/event.h"
#include "ui/event_queue.h"
#include "ui/gadget_record.h"
#include "ui/object_handles.h"
#include "ui/qt_text.h"
#include "ui/toolkit.h"
#include "ui/ui_calls.h"
#include "ui/window_record.h"
#include "ui/window_widget.h"

#include <QFont>
#include <QWidget>

#include <cstring>

namespace korvel {
namespace {

obj_table* gadgets = nullptr;
std::int32_t list_offset = -1;
QFont* font = nullptr;

// The calling thread's current gadget list.
struct gadget_list {
    std::int32_t in_use;
    obj_number window;
};

gadget_list* this_thread_list() {
    return list_offset < 0 ? nullptr : static_cast<gadget_list*>(thread_data(list_offset));
}

// The gadget table's free operation.
void free_gadget(obj_number n) {
    const gadget_record* record = gadget_lookup(n);
    if (!record) return;
    delete record->control;
    obj_clear(gadgets, n);
}

// The gadget fonts of the desktop are small; this one fits the program's texts into the boxes it
// gives them.
QFont make_gadget_font() {
    QFont made(QStringLiteral("DejaVu Sans"));
    made.setPixelSize(10);
    made.setStretch(90);
    return made;
}

} // namespace

gadget_record* gadget_lookup(obj_number n) {
    return gadgets ? static_cast<gadget_record*>(obj_lookup(gadgets, n)) : nullptr;
}

void gadgets_init() {
    if (!font) font = new QFont(make_gadget_font());
    if (!gadgets) gadgets = table_create(sizeof(gadget_record), 50, free_gadget);
    if (list_offset < 0) list_offset = thread_data_register(sizeof(gadget_list), nullptr, nullptr);
}

void gadgets_end() {
    if (gadgets) table_free_all(gadgets);
    if (gadget_list* list = this_thread_list()) *list = {};
}

const QFont& gadget_font() {
    return *font;
}

void gadget_list_use(obj_number window) {
    if (gadget_list* list = this_thread_list()) *list = {1, window};
}

void gadget_list_forget(obj_number window) {
    gadget_list* list = this_thread_list();
    if (list && list->in_use && list->window == window) *list = {};
}

obj_number gadget_place(obj_number n, const gadget_kind_ops& kind, const QRect& geometry,
                        control_maker make, const void* details) {
    const gadget_list* list = this_thread_list();
    if (!gadgets || !on_ui_thread() || !list || !list->in_use) return 0;
    const window_record* window = window_lookup(list->window);
    if (!window) return 0;
    void* slot = obj_new(gadgets, n);
    if (!slot) return 0;
    const obj_number number = n == NUMBER_ANY ? reinterpret_cast<obj_number>(slot) : n;
    QWidget* control = make(window->widget, number, list->window, details);
    control->setGeometry(geometry);
    control->show();
    const gadget_record record{next_object_handle(), &kind, control, list->window};
    std::memcpy(slot, &record, sizeof record);
    return n == NUMBER_ANY ? number : static_cast<obj_number>(record.handle);
}

void queue_gadget_command(obj_number gadget, obj_number window, std::int32_t subtype) {
    queue_event(EVENT_GADGET, gadget, window, subtype, event_merge::never);
}

void gadgets_free_in_window(obj_number window) {
    if (!gadgets) return;
    table_iterate_begin(gadgets);
    obj_number each = 0;
    while (const auto* record = static_cast<gadget_record*>(table_iterate_next(gadgets, &each)))
        if (record->window == window) free_gadget(each);
}

void gadget_free(obj_number n) {
    if (on_ui_thread()) free_gadget(n);
}

std::int32_t gadget_kind(obj_number n) {
    const gadget_record* record = gadget_lookup(n);
    return record ? record->kind->code : 0;
}

const char16_t* gadget_get_text(obj_number n, std::int32_t at) {
    return ws_write_text(call_for_text([n]() -> std::u16string {
                             const gadget_record* record = gadget_lookup(n);
                             if (!record) return {};
                             return record->kind->get_text(record->control).toStdU16String();
                         }),
                         at);
}

void gadget_set_text(obj_number n, const char16_t* text) {
    const std::u16string copy = text_copy(text);
    call_for_effect([n, &copy] {
        if (const gadget_record* record = gadget_lookup(n))
            record->kind->set_text(record->control, to_qstring(copy));
    });
}

std::int32_t gadget_get_state(obj_number n) {
    return static_cast<std::int32_t>(call_for_number([n]() -> std::intptr_t {
        const gadget_record* record = gadget_lookup(n);
        if (!record || !record->kind->get_state) return 0;
        return record->kind->get_state(record->control);
    }));
}

void gadget_set_state(obj_number n, std::int32_t state) {
    call_for_effect([n, state] {
        const gadget_record* record = gadget_lookup(n);
        if (record && record->kind->set_state) record->kind->set_state(record->control, state);
    });
}

void gadget_set_attribute(obj_number n, std::int32_t attribute, std::intptr_t value) {
    call_for_effect([n, attribute, value] {
        const gadget_record* record = gadget_lookup(n);
        if (record && record->kind->set_attribute)
            record->kind->set_attribute(record->control, attribute, value);
    });
}

} // namespace korvel
