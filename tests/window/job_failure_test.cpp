// A job that meets a layer it cannot load or a frame it cannot save: the failure is reported with
// the file's path, the job ends without the completion message, the start button is up again,
// the frames saved before stay and no temporary file is left.
#include "program_scenario.h"

#include "input_gate.h"

#include <csignal>
#include <sys/resource.h>

#include <filesystem>

namespace korvel::app_test {
namespace {

TEST_F(program_scenario, ALayerThatCannotBeLoadedEndsTheJobAfterTheFramesBefore) {
    const input_frames inputs = make_inputs({9, 8, 6, true});
    ASSERT_TRUE(damage_png(in_ + "/f0005.png"));
    const program_run run = run_program([&](program_driver& driver) {
        start_render(driver, "3");
        driver.answer_message("Error Loading Image!", reply::ok);
        driver.wait_until_idle();
        driver.note_start_button("end");
    });
    expect_clean_end(run);
    EXPECT_EQ(run.messages, (std::vector<std::string>{"Error Loading Image! / Unable to load, " +
                                                      in_folder() + "f0005.png"}));
    EXPECT_EQ(run.note("end.state"), "0");
    EXPECT_EQ(run.note("end.face"), "up");
    EXPECT_EQ(folder_names(out_), frame_names(1, 9));
    expect_frames(out_, frame_names(1, 9), inputs, 3, 255, false);
}

TEST_F(program_scenario, AFrameThatCannotBeSavedEndsTheJobAndLeavesNoTemporaryFile) {
    const input_frames inputs = make_inputs({9, 8, 6, true});
    // A folder in the way of frame 2: its file is written but cannot take the frame's name.
    std::filesystem::create_directory(out_ + "/2.png");
    const program_run run = run_program([&](program_driver& driver) {
        start_render(driver, "3");
        driver.answer_message("Error!", reply::ok);
        driver.wait_until_idle();
        driver.note_start_button("end");
    });
    expect_clean_end(run);
    EXPECT_EQ(run.messages,
              (std::vector<std::string>{"Error! / Unable to save, " + out_folder() + "2.png"}));
    EXPECT_EQ(run.note("end.state"), "0");
    EXPECT_EQ(run.note("end.face"), "up");
    EXPECT_EQ(folder_names(out_), frame_names(2, 9));
    EXPECT_TRUE(std::filesystem::is_directory(out_ + "/2.png"));
    EXPECT_TRUE(folder_names(out_ + "/2.png").empty());
    expect_frames(out_, frame_names(1, 9), inputs, 3, 255, false);
}

TEST_F(program_scenario, AnOutputFolderTypedByHandThatDoesNotExistIsReportedThenFixed) {
    const input_frames inputs = make_inputs({6, 8, 6, true});
    const std::string missing = root_ + "/missing/";
    const program_run run = run_program([&](program_driver& driver) {
        driver.choose_folder(3, in_);
        driver.type_text(5, missing);
        driver.type_text(8, "3");
        driver.click(9);
        driver.answer_message("Error!", reply::ok);
        driver.wait_until_idle();
        driver.note_start_button("refused");
        driver.type_text(5, out_folder());
        driver.click(9);
        driver.answer_message("Korvel", reply::ok);
        driver.wait_until_idle();
    });
    expect_clean_end(run);
    EXPECT_EQ(run.messages, (std::vector<std::string>{
                                "Error! / Unable to save, " + missing + "1.png", COMPLETED}));
    EXPECT_EQ(run.note("refused.state"), "0");
    EXPECT_EQ(run.note("refused.face"), "up");
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_EQ(folder_names(out_), frame_names(2, 6));
    expect_frames(out_, frame_names(2, 6), inputs, 3, 255, false);
}

TEST_F(program_scenario, AFrameCutShortByAFullDiskIsReportedAndNotKept) {
    // Frames of noise compress to a few kilobytes; the job file stays far below the limit.
    const input_frames inputs = make_inputs({9, 32, 24, true});
    const input_gate gate = make_input_gate(in_ + "/f0005.png", root_);
    ASSERT_FALSE(gate.entry.empty());
    const program_run run = run_program([&](program_driver& driver) {
        start_render(driver, "3");
        driver.wait_for_file(out_ + "/1.png", std::chrono::seconds(30));
        // From here on no file of the process grows past 1 KiB: writes beyond fail as on a full
        // disk, instead of ending the process.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{1024, 1024};
        if (setrlimit(RLIMIT_FSIZE, &small) != 0) driver.fail("cannot limit file sizes");
        if (!gate_release(gate)) driver.fail("could not let f0005 arrive");
        driver.answer_message("Error!", reply::ok);
        driver.wait_until_idle();
        driver.note_start_button("end");
    });
    expect_clean_end(run);
    EXPECT_EQ(run.messages,
              (std::vector<std::string>{"Error! / Unable to save, " + out_folder() + "2.png"}));
    EXPECT_EQ(run.note("end.state"), "0");
    EXPECT_EQ(run.note("end.face"), "up");
    EXPECT_EQ(folder_names(out_), frame_names(1, 9)) << "a partly written file was left";
    expect_frames(out_, frame_names(1, 9), inputs, 3, 255, false);
}

} // namespace
} // namespace korvel::app_test
