// The process's event queue and the per-thread event record behind window_wait_event. Only the
// user-interface thread pushes and pops, so the queue takes no lock.
#pragma once

#include "runtime/object_table.h"

#include <cstdint>

namespace korvel {

// Whether an event identical to the newest one still waiting is dropped: true for the events the
// window system would queue (focus, window changes, input), false for gadget commands, each of
// which counts.
enum class event_merge { never, with_newest };

// Queues an event that sets the gadget, window and sub-type fields.
void queue_event(std::int32_t code, obj_number gadget, obj_number window, std::int32_t subtype,
                 event_merge merge);

// Queues input that no gadget turned into an event: it keeps the gadget and window fields of the
// previous event and has sub-type -1.
void queue_input_event(std::int32_t code, obj_number window);

// Events waiting in the queue.
std::int32_t event_queue_length();

// Drops every waiting event (the windows they came from are gone).
void event_queue_clear();

// Reserves the per-thread event record (once).
void event_records_init();

} // namespace korvel
