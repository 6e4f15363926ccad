// Keyboard and pointer input over the program's windows: Tab and Shift+Tab run the window's focus
// cycle; other key presses and pointer movements become input events.
#pragma once

namespace korvel {

// Watches every event of the application (once).
void input_filter_install();

} // namespace korvel
