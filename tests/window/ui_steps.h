// Steps of the driver on the program's user-interface thread, each with a time limit, and the
// parts of the main window they look at.
#pragma once

#include "runtime/object_table.h"

#include <chrono>
#include <functional>
#include <string>

class QString;
class QWidget;

namespace korvel::app_test {

// Generous, for runs under the sanitizers on a busy machine.
inline constexpr std::chrono::milliseconds ui_limit = std::chrono::seconds(30);

// The user-interface thread does not answer: nothing more can be done or observed. Reports the
// failure and ends the process.
[[noreturn]] void give_up(const std::string& what);

// Runs work on the user-interface thread; gives up when it does not run within ui_limit. what
// names the step in the failure.
void on_ui(std::function<void()> work, const std::string& what);

// Polls the condition on the user-interface thread until it holds or the limit has passed.
bool ui_condition_within(const std::function<bool()>& condition, std::chrono::milliseconds limit,
                         const std::string& what);

// User-interface thread: the main window, a gadget's control (null when missing).
QWidget* main_window();
QWidget* control_of(obj_number gadget);

std::string utf8(const QString& text);

} // namespace korvel::app_test
