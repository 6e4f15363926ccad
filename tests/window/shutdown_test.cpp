// Closing the window: when idle the job file goes with the program; during a render the program
// ends at once with exit code 0, and every frame file it leaves is whole.
#include "program_scenario.h"

#include "input_gate.h"

#include <filesystem>

namespace korvel::app_test {
namespace {

// Closing ends the process without waiting for the render; this is ample even under the
// sanitizers.
constexpr double at_once_seconds = 5.0;

bool is_png_name(const std::string& name) {
    return name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0;
}

TEST_F(program_scenario, ClosingWhenIdleDeletesTheJobFile) {
    make_inputs({3, 8, 6, true});
    const program_run run = run_program([&](program_driver& driver) {
        driver.choose_folder(3, in_);
        driver.note_file("job", job_file());
    });
    expect_clean_end(run);
    EXPECT_EQ(run.note("job"), job_file_bytes(8, 6, 3));
    EXPECT_FALSE(std::filesystem::exists(job_file()));
}

TEST_F(program_scenario, ClosingWhileTheRenderWaitsForAnInputEndsTheProgramAtOnce) {
    const input_frames inputs = make_inputs({9, 8, 6, true});
    // The fifth input never arrives: the worker stays in the middle of frame 2.
    ASSERT_FALSE(make_input_gate(in_ + "/f0005.png", root_).entry.empty());
    const program_run run = run_program([&](program_driver& driver) {
        start_render(driver, "3");
        driver.wait_for_file(out_ + "/1.png", std::chrono::seconds(30));
        driver.note("flag", std::to_string(driver.render_flag()));
    });
    expect_clean_end(run);
    EXPECT_EQ(run.note("flag"), "1");
    EXPECT_TRUE(run.messages.empty()) << "no question when closing";
    EXPECT_LT(run.seconds_to_exit_after_close(), at_once_seconds);
    EXPECT_EQ(folder_names(out_), frame_names(1, 9));
    expect_frames(out_, frame_names(1, 9), inputs, 3, 255, false);
}

TEST_F(program_scenario, ClosingInTheMiddleOfARenderLeavesOnlyWholeFrames) {
    // Twenty frames large enough that the close falls among the loads, draws and saves.
    const input_frames inputs = make_inputs({120, 160, 120, true});
    const program_run run = run_program([&](program_driver& driver) {
        start_render(driver, "6");
        driver.wait_for_file(out_ + "/001.png", std::chrono::seconds(60));
        driver.note("flag", std::to_string(driver.render_flag()));
    });
    expect_clean_end(run);
    EXPECT_EQ(run.note("flag"), "1") << "the render ended before the window was closed";
    EXPECT_LT(run.seconds_to_exit_after_close(), at_once_seconds);
    std::vector<std::string> frames;
    for (const std::string& name : folder_names(out_))
        if (is_png_name(name)) frames.push_back(name);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames, frame_names(static_cast<int>(frames.size()), 120));
    expect_frames(out_, frames, inputs, 6, 255, false);
}

} // namespace
} // namespace korvel::app_test
