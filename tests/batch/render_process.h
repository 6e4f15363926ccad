// Running the built korvel-render as a user would, with its standard error in a file or on a
// terminal, and with a file size limit past which writes fail as on a full disk.
#pragma once

#include "tests/support/scratch_folder.h"

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace korvel::test {

inline constexpr int KILLED_BY = 1000; // the status of a run ended by signal s: KILLED_BY + s

struct run_options {
    long file_size_limit = 0;
    unsigned short terminal_columns = 0;      // standard error on a terminal this wide, unless 0
    const char* program = KORVEL_RENDER_PATH; // a copy of korvel-render elsewhere, or the built one
};

struct render_result {
    int status = -1;
    std::string err; // on a terminal, everything it received
};

// A run started at once, and killed if still running when it goes out of scope.
class render_process {
public:
    explicit render_process(const std::vector<std::string>& args, const run_options& options = {});
    ~render_process() { finish(std::chrono::seconds(0)); }

    pid_t pid() const { return pid_; }
    // Waits for the end, killing the run past the limit, and collects what it said.
    render_result finish(std::chrono::seconds limit = std::chrono::seconds(120));

private:
    scratch_folder logs_;
    pid_t pid_ = -1;
    int terminal_ = -1;
};

// Whether the ffmpeg and ffprobe programs are there, as the clip tests use them.
bool have_ffmpeg();

// What a shell command prints on its standard output.
std::string command_output(const std::string& command);

// What korvel-render --count prints for the arguments.
std::string printed_count(const std::vector<std::string>& args);

// Expects folder to hold the files of expected, no others, with the same bytes.
void expect_same_files(const std::string& folder, const std::string& expected);

inline render_result run_render(const std::vector<std::string>& args,
                                const run_options& options = {}) {
    return render_process(args, options).finish();
}

} // namespace korvel::test
