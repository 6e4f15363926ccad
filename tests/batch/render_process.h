// Running the built korvel-render binary as the user would: arguments, a working folder, its
// standard output and error, its exit status.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace korvel::test {

// Statuses of a program ended by a signal: 1000 + the signal, apart from every exit status.
inline constexpr int KILLED_BY_SIGNAL = 1000;

struct render_run {
    int status = -1;
    std::string out;
    std::string err; // on a terminal: everything the terminal received
};

// Runs korvel-render with args in the folder cwd ("" for the test's own) and waits for it.
render_run run_render(const std::vector<std::string>& args, const std::string& cwd = {});

// Starts korvel-render with its standard error going to err_path and returns at once. A
// file_size_limit above 0 caps every file the run writes at that many bytes, with writes beyond
// failing as on a full disk instead of ending the process.
pid_t start_render(const std::vector<std::string>& args, const std::string& cwd,
                   const std::string& err_path, long file_size_limit = 0);
// The exit status of a started run once it has ended.
int wait_for_render(pid_t pid);

// Runs korvel-render with its standard error going into a pipe that nobody reads any more.
int run_render_into_closed_pipe(const std::vector<std::string>& args);

// Runs korvel-render on a pseudo-terminal columns wide, as from an interactive shell.
render_run run_render_on_terminal(const std::vector<std::string>& args, unsigned short columns);

} // namespace korvel::test
