// Events: window_wait_event returns the next event's code; event_gadget, event_type and
// event_window read what that event carried, unchanged until the next window_wait_event.
#pragma once

#include "runtime/object_table.h"

#include <cstdint>

namespace korvel {

inline constexpr std::int32_t EVENT_MOVE_WINDOW = 3;
inline constexpr std::int32_t EVENT_SIZE_WINDOW = 5;
inline constexpr std::int32_t EVENT_REPAINT = 15; // a window's background was painted anew
inline constexpr std::int32_t EVENT_CLOSE_WINDOW = 16;
inline constexpr std::int32_t EVENT_GADGET = 13100;
inline constexpr std::int32_t EVENT_ACTIVATE_WINDOW = 13104;
inline constexpr std::int32_t EVENT_MINIMIZE_WINDOW = 13107;
inline constexpr std::int32_t EVENT_MAXIMIZE_WINDOW = 13108;
inline constexpr std::int32_t EVENT_RESTORE_WINDOW = 13109;
// Input over the program's windows that no gadget turned into an event: the gadget and window of
// the previous event are kept and the sub-type is -1.
inline constexpr std::int32_t EVENT_KEY_DOWN = 0x100;
inline constexpr std::int32_t EVENT_MOUSE_MOVE = 0x200;

// Gadget event sub-types besides 0 (a click).
inline constexpr std::int32_t TYPE_FOCUS = 14000;
inline constexpr std::int32_t TYPE_LOST_FOCUS = 14001;
inline constexpr std::int32_t TYPE_CHANGE = 0x300; // the text of a string gadget was edited

// Blocks, serving the windows and the calls of other threads, until an event exists and returns
// its code. Only the user-interface thread waits for events; on another thread it returns 0.
std::int32_t window_wait_event();

// The gadget (or window) number of the last event; kept by events that carry none.
obj_number event_gadget();
// The sub-type of the last event: -1 for events that carry none.
std::int32_t event_type();
// The window of the last event; kept by events that carry none.
obj_number event_window();

} // namespace korvel
