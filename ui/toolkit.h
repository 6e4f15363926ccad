// Start-up and end of the user-interface toolkit. Start-up calls the initialisers once, on the
// thread that becomes the user-interface thread, in this order: events_init, windows_init,
// gadgets_init, controls_init, statusbars_init. The end calls gadgets_end, then windows_end.
#pragma once

namespace korvel {

// Creates the platform application object on the calling thread and the event queue.
void events_init();
// Creates the window table and the per-thread window and event records, and opens the gate for
// calls from other threads.
void windows_init();
// Chooses the gadgets' font, creates the gadget table and the per-thread current gadget list.
void gadgets_init();
// Sets up the look shared by every control.
void controls_init();
// Creates the status-bar table and the per-thread current status bar.
void statusbars_init();

// Frees every gadget.
void gadgets_end();
// Releases every call another thread is waiting in (they return 0 or ""), refuses new ones, and
// closes every window with its status bars.
void windows_end();

} // namespace korvel
