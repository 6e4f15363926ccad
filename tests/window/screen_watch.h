// What the user sees, recorded as it happens on the user-interface thread: every message box and
// folder chooser shown (in order), every change of the main window's title and every value of
// the progress bar. Each is reported to the test at once; the dialogs are also queued for the
// driver, which answers them.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

class QWidget;

namespace korvel::app_test {

struct shown_dialog {
    std::size_t index = 0;   // in order of showing, from 0
    bool is_message = false; // a message box; otherwise a folder chooser
    std::string title;
    std::string text; // a message box's text
};

// User-interface thread, once the main window exists: starts watching.
void screen_watch_start(QWidget* main_window);

// Driver thread: the next dialog not taken yet, waiting for it up to the limit.
std::optional<shown_dialog> screen_watch_next_dialog(std::chrono::milliseconds limit);

// User-interface thread: the dialog shown as number index while it is still shown, else null.
QWidget* screen_watch_dialog(std::size_t index);

// User-interface thread: whether the dialog shown as number index has been destroyed. A requester
// opened by the user-interface thread itself is destroyed only once that thread is back in its
// event loop, past the code that opened it.
bool screen_watch_dialog_gone(std::size_t index);

} // namespace korvel::app_test
