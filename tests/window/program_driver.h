// The driver of a program run: a thread of the test's child process that uses the real main
// window as a user would (mouse clicks on the gadgets, keys typed into the fields, answers to the
// real folder chooser and message boxes) and notes what it observes for the test to check. Every
// wait has a time limit; a wait that runs out is reported as a failure of the run, and the run
// goes on to close the window so that the test can still see what was left behind.
#pragma once

#include "dialog_answers.h"

#include "runtime/object_table.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace korvel::app_test {

class program_driver {
public:
    // Clicks the gadget's control with the left mouse button, then lets the program handle the
    // click (a requester it opens may still be open on return).
    void click(obj_number gadget);
    // Selects the text of a string gadget and types the new text over it.
    void type_text(obj_number gadget, const std::string& text);

    // Clicks a folder button (3 or 6) and answers the folder chooser it opens: the folder is
    // chosen ("" cancels). False, with a failure noted, when no chooser came.
    bool choose_folder(obj_number button, const std::string& folder);

    // Takes the next dialog shown; it must be a message box with that title, which is then
    // answered with the button. False, with a failure noted, otherwise.
    bool answer_message(const std::string& title, reply button);

    // For a program that shows no main window: waits for a message box with that title, reports
    // it as every message box is reported, and presses its OK button. False, with a failure
    // noted, when none came.
    bool answer_ok_without_window(const std::string& title);

    // Takes the next dialog shown, whatever it is, and answers it: a message box with OK or No, a
    // chooser by cancelling. False when none came within the limit.
    bool answer_next_dialog(std::chrono::milliseconds limit);

    // Waits until no render job runs (answering whatever dialog comes meanwhile) and the window
    // title is back to its idle text.
    void wait_until_idle();
    // Waits until the file exists; false, with a failure noted, after the limit.
    bool wait_for_file(const std::string& path, std::chrono::milliseconds limit);

    // Whether a render job is requested or running now.
    std::int32_t render_flag() const;

    // Observations for the test, under a key.
    void note(const std::string& key, const std::string& value);
    // key.state: the start button's state; key.face: "up", "down", "both" or "none".
    void note_start_button(const std::string& key);
    void note_window_title(const std::string& key);
    // The text of status field 0.
    void note_status(const std::string& key);
    void note_gadget_text(const std::string& key, obj_number gadget);
    void note_gadget_state(const std::string& key, obj_number gadget);
    // The file's bytes, or "<missing>".
    void note_file(const std::string& key, const std::string& path);
    void fail(const std::string& what);

    // Reports that the run's script is complete, then closes the window as the user does. The
    // program then ends its process; the driver does nothing more.
    [[noreturn]] void close_window();
};

// Child process only: starts the driver thread with the script, enters the working folder and
// runs the program, which ends the process.
[[noreturn]] void run_program_with_driver(const std::string& working_folder,
                                          std::function<void(program_driver&)> script);

// Child process only: as run_program_with_driver, for a program expected to show a message box
// instead of its main window. The script starts once the application object exists; the program
// ends the process by itself.
[[noreturn]] void
run_program_without_window_with_driver(const std::string& working_folder,
                                       std::function<void(program_driver&)> script);

} // namespace korvel::app_test
