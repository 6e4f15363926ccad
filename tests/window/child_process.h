// Runs a piece of a test in a fresh child process: the program keeps process-wide state (its
// tables, its threads, the application object) and ends the process itself, so each run needs a
// process of its own. The child reports lines through a pipe; the test reads them with a time
// limit, kills a child that overstays it, and looks at how the child ended.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace korvel::app_test {

struct child_outcome {
    bool exited = false; // ended through exit with exit_code
    int exit_code = -1;
    int signal = 0; // the signal that ended it, or 0
    bool timed_out = false;
    std::vector<std::vector<std::string>> lines; // the reported lines, as fields
    std::int64_t ended_at_ns = 0;                // monotonic clock, when its end was seen
    std::string error_output;                    // what it wrote to standard error
};

// A child started and not yet waited for.
struct running_child {
    int pid = -1;
    int read_end = -1; // the report pipe
    std::chrono::steady_clock::time_point deadline;
    std::string error_path;
};

// Runs body in a forked child whose standard error goes to error_path. The child ends with exit
// code 0 when body returns. The parent must have no other threads.
child_outcome run_child(const std::function<void()>& body, const std::string& error_path,
                        std::chrono::seconds limit);

// As run_child, in two steps, so that the parent can act (and run other children) while the
// child runs. The child's reports wait in its pipe meanwhile, so it must not report much.
running_child start_child(const std::function<void()>& body, const std::string& error_path,
                          std::chrono::seconds limit);
child_outcome finish_child(const running_child& child);

// In the child: reports one line of fields to the parent (any thread; whole lines never mix).
void child_report(const std::vector<std::string>& fields);

// The monotonic clock in nanoseconds, the same in every process.
std::int64_t monotonic_ns();

} // namespace korvel::app_test
