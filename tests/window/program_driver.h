// The window program run in a child process of its own (it keeps process-wide state and ends its
// process itself) under a driver: a timer on the program's user-interface thread that works
// through a script as a user would, clicking the gadgets, typing into the fields and answering
// the real folder choosers and message boxes. Each message box shown is reported to the test.
//
// A script is steps separated by ';', "verb" or "verb=argument", with <root>, <in> and <out>:
//   in[=folder], out[=folder]  click a folder's button and choose the folder ("" cancels)
//   render, rev, click-in      click the start button, the "Rev." box, the input folder's button
//   in-field=, out-field=, L=, A=  type over the input or output folder, layers or alpha levels
//   ok, yes, no, enter         answer the message box shown: click that button, or press Return
//   idle, held                 wait until no render runs, or until it waits at an input gate
//   VERB==value                check a field, "state" (the start button's), "flag" (the render
//                              flag), "status" (status field 0), or all "titles" or "progress"
//                              shown so far, joined by commas
// Other steps go to the scenario. When the script is done the driver reports the progress shown
// so far and closes the window.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace korvel::window_test {

struct program_folders {
    std::string root, in, out;
};

std::string expand(std::string text, const program_folders& folders);
std::optional<std::string> done_when(bool condition); // "" (done) when it holds, else waiting

// A step of the scenario's own, run in the child on the user-interface thread: nullopt while it
// waits, "" when done, otherwise what went wrong.
using scenario_step =
    std::function<std::optional<std::string>(const std::string& verb, const std::string& arg)>;

struct program_run {
    bool timed_out = false;
    int exit_code = -1, signal = 0;
    std::string reports, errors;
    // What follows the kind in each report of that kind.
    std::vector<std::string> all(const std::string& kind) const;
};

class program_child {
public:
    // Forks the child, which enters the root folder and runs the program under the script; the
    // parent must have no other threads.
    program_child(const program_folders& folders, const std::string& script, scenario_step own,
                  const std::string& errors, std::chrono::seconds limit);
    // Reads the rest of its reports and waits for its end, killing it after the time limit.
    program_run finish();
    int pid() const { return pid_; }

private:
    int pid_ = -1;
    int pipe_ = -1;
    std::chrono::steady_clock::time_point deadline_;
    std::string errors_;
};

// Child process only: one report, of a kind and its fields (without tabs), to the test.
void child_report(const std::vector<std::string>& fields);

} // namespace korvel::window_test
