// Work handed from the test's driver thread to the program's user-interface thread, which owns
// every widget. The hand-over goes through a lock of its own so that the thread checker sees it
// (Qt's own event queue is invisible to it), and every wait has a time limit.
#pragma once

#include <chrono>
#include <functional>

namespace korvel::app_test {

// Must be called before the program creates its application object: from then on the hand-over
// knows where to post.
void hand_off_watch_for_application();

// Waits until the application object exists; false after the limit.
bool hand_off_wait_for_application(std::chrono::milliseconds limit);

// Runs work on the user-interface thread and waits until it has run there; false when it has not
// run within the limit (the work may then still run later).
bool run_on_ui(std::function<void()> work, std::chrono::milliseconds limit);

} // namespace korvel::app_test
