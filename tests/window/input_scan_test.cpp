// The input scan: what it counts, what it writes to the job file, and how it is refused while a
// render holds the job file.
#include "program_scenario.h"

#include "input_gate.h"

#include <filesystem>

namespace korvel::app_test {
namespace {

constexpr const char* NO_RESOLUTION =
    "Error! / Unable to get the resolution from a ''*.png'' file.";

TEST_F(program_scenario, AnEmptyFolderCountsZeroAndASecondScanStartsTheJobFileAfresh) {
    const std::string more = root_ + "/more";
    std::filesystem::create_directory(more);
    ASSERT_EQ(make_input_frames(more, {3, 5, 4, true}).names.size(), 3u);
    const program_run run = run_program([&](program_driver& driver) {
        driver.choose_folder(3, in_);
        driver.answer_message("Error!", reply::ok);
        driver.note_status("empty.status");
        driver.note_file("empty.job", job_file());
        driver.choose_folder(3, more);
        driver.note_status("more.status");
        driver.note_file("more.job", job_file());
    });
    expect_clean_end(run);
    EXPECT_EQ(run.messages, (std::vector<std::string>{NO_RESOLUTION}));
    EXPECT_EQ(run.note("empty.status"), "Total Images: 0");
    EXPECT_EQ(run.note("empty.job"), job_file_bytes(0, 0, 0));
    EXPECT_EQ(run.note("more.status"), "Total Images: 3");
    EXPECT_EQ(run.note("more.job"), job_file_bytes(5, 4, 3));
}

TEST_F(program_scenario, ADamagedLastEntryLeavesNoResolutionAndTheJobReportsIt) {
    make_inputs({6, 8, 6, true});
    ASSERT_TRUE(damage_png(in_ + "/f0006.png"));
    const program_run run = run_program([&](program_driver& driver) {
        driver.choose_folder(3, in_);
        driver.answer_message("Error!", reply::ok);
        driver.note_status("status");
        driver.note_file("job", job_file());
        driver.choose_folder(6, out_);
        driver.type_text(8, "2");
        driver.click(9);
        driver.answer_message("Error!", reply::ok);
        driver.wait_until_idle();
        driver.note_start_button("end");
    });
    expect_clean_end(run);
    // The scan still counts the damaged entry; the job has no canvas size and draws nothing.
    EXPECT_EQ(run.messages, (std::vector<std::string>{NO_RESOLUTION, NO_RESOLUTION}));
    EXPECT_EQ(run.note("status"), "Total Images: 6");
    EXPECT_EQ(run.note("job"), job_file_bytes(0, 0, 6));
    EXPECT_EQ(run.note("end.state"), "0");
    EXPECT_EQ(run.note("end.face"), "up");
    EXPECT_TRUE(folder_names(out_).empty());
}

TEST_F(program_scenario, TheInputButtonDuringARenderIsRefusedAndTheRenderGoesOn) {
    const input_frames inputs = make_inputs({9, 8, 6, true});
    // The fifth input arrives only when the test lets it: the render is still running when the
    // button is pressed.
    const input_gate gate = make_input_gate(in_ + "/f0005.png", root_);
    ASSERT_FALSE(gate.entry.empty());
    const program_run run = run_program([&](program_driver& driver) {
        start_render(driver, "3");
        driver.wait_for_file(out_ + "/1.png", std::chrono::seconds(30));
        driver.click(3);
        driver.answer_message("Error!", reply::ok);
        driver.note_status("status");
        driver.note_gadget_text("input.field", 2);
        driver.note("flag", std::to_string(driver.render_flag()));
        if (!gate_release(gate)) driver.fail("could not let f0005 arrive");
        driver.answer_message("Korvel", reply::ok);
        driver.wait_until_idle();
        driver.note_file("job", job_file());
    });
    expect_clean_end(run);
    EXPECT_EQ(run.choosers, (std::vector<std::string>{"Load images...", "Save images..."}))
        << "the refused scan must not ask for a folder";
    EXPECT_EQ(run.messages,
              (std::vector<std::string>{"Error! / Unable to create a temporary file.", COMPLETED}));
    EXPECT_EQ(run.note("status"), "Total Images: 9");
    EXPECT_EQ(run.note("input.field"), in_folder());
    EXPECT_EQ(run.note("flag"), "1");
    EXPECT_EQ(folder_names(out_), frame_names(3, 9));
    expect_frames(out_, frame_names(3, 9), inputs, 3, 255, false);
    EXPECT_EQ(run.note("job"), job_file_bytes(8, 6, 9, {"f0007.png", "f0008.png", "f0009.png"}));
}

} // namespace
} // namespace korvel::app_test
