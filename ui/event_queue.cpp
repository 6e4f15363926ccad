// The event queue, the per-thread event record and window_wait_event.
#include "ui/event_queue.h"

#include "runtime/record_pool.h"
#include "runtime/thread_data.h"
#include "ui/application.h"
#include "ui/event.h"
#include "ui/toolkit.h"
#include "ui/ui_calls.h"

#include <QCoreApplication>
#include <QEvent>

namespace korvel {
namespace {

struct event_fields {
    std::int32_t code;
    std::int32_t subtype;
    obj_number gadget;
    obj_number window;
};

// What window_wait_event fills and the snapshot that the event queries read.
struct event_record {
    event_fields current;
    event_fields snapshot;
};

struct event_node {
    event_node* next;
    event_fields fields;
    bool keeps_target; // input without a gadget: the gadget and window fields stay
};

record_pool* pool = nullptr;
event_node* oldest = nullptr;
event_node* newest = nullptr;
std::int32_t length = 0;
std::int32_t record_offset = -1;

bool same_event(const event_node& node, const event_fields& fields, bool keeps_target) {
    return node.keeps_target == keeps_target && node.fields.code == fields.code &&
           node.fields.subtype == fields.subtype && node.fields.gadget == fields.gadget &&
           node.fields.window == fields.window;
}

void push(const event_fields& fields, bool keeps_target, event_merge merge) {
    if (!pool) return;
    if (merge == event_merge::with_newest && newest && same_event(*newest, fields, keeps_target))
        return;
    auto* node = static_cast<event_node*>(pool_alloc(pool));
    if (!node) return; // out of memory: the event is lost rather than the program
    *node = {nullptr, fields, keeps_target};
    (newest ? newest->next : oldest) = node;
    newest = node;
    ++length;
}

event_node pop() {
    event_node* node = oldest;
    event_node taken = *node;
    oldest = node->next;
    if (!oldest) newest = nullptr;
    --length;
    pool_free(pool, node);
    return taken;
}

event_record* this_thread_record() {
    return record_offset < 0 ? nullptr : static_cast<event_record*>(thread_data(record_offset));
}

void wait_until_queued() {
    while (length == 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        // Objects released with deleteLater are only deleted by a running event loop; there is
        // none, so do it here, at the top level where nothing of them is in use.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

} // namespace

void events_init() {
    application_start();
    if (!pool) pool = pool_create(static_cast<std::int32_t>(sizeof(event_node)), 16, 256);
}

void event_records_init() {
    if (record_offset < 0)
        record_offset =
            thread_data_register(static_cast<std::int32_t>(sizeof(event_record)), nullptr, nullptr);
}

void queue_event(std::int32_t code, obj_number gadget, obj_number window, std::int32_t subtype,
                 event_merge merge) {
    push({code, subtype, gadget, window}, false, merge);
}

void queue_input_event(std::int32_t code, obj_number window) {
    push({code, -1, 0, window}, true, event_merge::with_newest);
}

std::int32_t event_queue_length() {
    return length;
}

void event_queue_clear() {
    while (length > 0)
        pop();
}

std::int32_t window_wait_event() {
    event_record* record = this_thread_record();
    if (!record || !on_ui_thread() || !pool) return 0;
    record->current.subtype = -1;
    record->current.code = 0;
    wait_until_queued();
    const event_node node = pop();
    record->current.code = node.fields.code;
    record->current.subtype = node.fields.subtype;
    if (!node.keeps_target) {
        record->current.gadget = node.fields.gadget;
        record->current.window = node.fields.window;
    }
    record->snapshot = record->current;
    return record->current.code;
}

obj_number event_gadget() {
    const event_record* record = this_thread_record();
    return record ? record->snapshot.gadget : 0;
}

std::int32_t event_type() {
    const event_record* record = this_thread_record();
    return record ? record->snapshot.subtype : 0;
}

obj_number event_window() {
    const event_record* record = this_thread_record();
    return record ? record->snapshot.window : 0;
}

} // namespace korvel
