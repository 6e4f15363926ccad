// A scenario of the window program: a temporary folder with an input and an output folder, the
// program run once in a child process of its own with a driver script, and what the run reported
// gathered for the checks.
#pragma once

#include "child_process.h"
#include "input_frames.h"
#include "program_driver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace korvel::app_test {

struct program_run {
    child_outcome child;
    bool done = false;
    // Every message box shown, in order, as "title / text".
    std::vector<std::string> messages;
    // The buttons of each message box, as "Yes|No".
    std::vector<std::string> message_buttons;
    std::vector<std::string> choosers;
    // The folder each chooser opened at.
    std::vector<std::string> chooser_folders;
    std::vector<std::string> titles;
    std::vector<int> progress;
    std::vector<std::string> failures;
    std::map<std::string, std::string> notes;
    std::int64_t closing_at_ns = 0;

    // The note under key, or "<not noted>".
    std::string note(const std::string& key) const;
    // Seconds from the driver's close request to the end of the process.
    double seconds_to_exit_after_close() const;
};

// The message of a finished job, as the run lists it.
inline const char* const COMPLETED = "Korvel / Motion blur render completed!.";

class program_scenario : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the program with the script in a fresh process inside root_.
    program_run run_program(std::function<void(program_driver&)> script,
                            std::chrono::seconds limit = std::chrono::seconds(120));

    // As run_program, in two steps, so that the test can act while the program runs (for example
    // run a second program). Each program running at once needs its own errors_name, the file in
    // root_ that takes its standard error.
    running_child start_program(std::function<void(program_driver&)> script,
                                const std::string& errors_name,
                                std::chrono::seconds limit = std::chrono::seconds(120));
    program_run finish_program(const running_child& started);

    // Runs the program in root_ expecting it to show a message box instead of its main window:
    // the script starts at once, and the program ends its process by itself.
    program_run run_program_without_window(std::function<void(program_driver&)> script,
                                           const std::string& errors_name);

    // Frames made in in_.
    input_frames make_inputs(const frame_set_shape& shape);

    // Chooses in_ and out_ with their folder buttons, types layers into "Layers per Frame" and
    // presses Render.
    void start_render(program_driver& driver, const std::string& layers) const;

    // Folders as the chooser returns them: with a trailing slash.
    std::string in_folder() const { return in_ + "/"; }
    std::string out_folder() const { return out_ + "/"; }
    std::string job_file() const { return root_ + "/Korvel Temp.tmp"; }

    std::string root_;
    std::string in_;
    std::string out_;

private:
    // The run's reports, gathered; the last run is told when the test fails.
    program_run gather(const child_outcome& child);

    child_outcome last_run_;
};

// The run ended by itself with exit code 0 after its script completed, with no failure noted and
// no sanitizer report.
void expect_clean_end(const program_run& run);

// Whether a process's standard error holds a report of a sanitizer.
bool has_sanitizer_report(const std::string& output);

// The names in a folder, sorted ("" names nothing for a missing folder).
std::vector<std::string> folder_names(const std::string& folder);

// The names of frames 1 .. count for an image count.
std::vector<std::string> frame_names(int count, int image_count);

// The file is an 8-bit RGBA PNG without interlace holding exactly the expected pixels.
::testing::AssertionResult png_file_holds(const std::string& path, const rgba_image& expected);

// Each listed frame file in the folder holds the frame a render with L and A gives.
void expect_frames(const std::string& folder, const std::vector<std::string>& names,
                   const input_frames& inputs, std::int64_t layers, std::int64_t alpha_levels,
                   bool reverse);

// The job file's bytes for a scan's count and resolution (width 0: no resolution) and, when
// given, the names of the last frame's layers.
std::string job_file_bytes(int width, int height, int count,
                           const std::vector<std::string>& last_names = {});

} // namespace korvel::app_test
