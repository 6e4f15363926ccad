// Answers to the program's dialogs, given as a user gives them: a click on a message box's
// button, a folder entered in the chooser and its accept button pressed, or Cancel.
#pragma once

#include "screen_watch.h"

#include <string>

namespace korvel::app_test {

enum class reply { ok, yes, no };

const char* button_name(reply button);

// Clicks one of a message box's buttons and waits until the program has gone on; false when the
// box or the button is not there.
bool press(const shown_dialog& dialog, reply button);

// Enters the folder in the chooser and accepts it ("" presses Cancel), then waits until the
// program has gone on. False when the chooser stayed open (it is then rejected).
bool answer_chooser(const shown_dialog& dialog, const std::string& folder);

// Answers as a user who wants to get on: OK (or No) in a message box, Cancel in a chooser.
void answer_with_default(const shown_dialog& dialog);

} // namespace korvel::app_test
