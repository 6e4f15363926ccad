// The window table's record and what the other parts of the toolkit need of windows.
#pragma once

#include "runtime/object_table.h"

#include <cstdint>

namespace korvel {

class window_widget;

struct window_record {
    std::uint32_t handle; // never 0 for a live window
    std::uint32_t flags;  // as window_open got them
    window_widget* widget;
};

window_record* window_lookup(obj_number n);

// The number of the window with that handle; false when no window has it.
bool window_find_handle(obj_number handle, obj_number* number);

} // namespace korvel
