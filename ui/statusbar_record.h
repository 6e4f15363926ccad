// What windows need of the status-bar table.
#pragma once

#include "runtime/object_table.h"

namespace korvel {

// Frees every status bar of the window (the window is closing).
void statusbars_free_in_window(obj_number window);

} // namespace korvel
