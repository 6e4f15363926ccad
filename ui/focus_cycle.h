// The keyboard focus cycle of Tab and Shift+Tab over a window's controls.
#pragma once

class QWidget;

namespace korvel {

// Moves the focus to the next (or, backwards, the previous) control of the window, in creation
// order, among those that are enabled, visible and take the focus from the keyboard; it wraps
// around, and starts at the first (or last) when none of them has the focus.
void focus_cycle(QWidget* window, bool backwards);

} // namespace korvel
