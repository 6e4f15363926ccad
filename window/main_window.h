// The main window and its event loop.
#pragma once

#include <cstdint>

namespace korvel {

// Opens window 0 with its gadgets and status bar; 0 when the window cannot be opened.
std::int32_t main_window_build();

// Serves the window until the user asks to close it.
void main_window_run();

} // namespace korvel
