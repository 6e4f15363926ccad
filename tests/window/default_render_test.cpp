// A render with the fields as the window opens: 250 frames, 100 layers per frame, alpha levels
// 255. Two whole groups make two frames, with progress, title and the completion message on the
// way, and the job file keeps the last frame's layer names.
#include "program_scenario.h"

#include <filesystem>

namespace korvel::app_test {
namespace {

TEST_F(program_scenario, DefaultFieldsTurn250FramesIntoTwoFramesOf100Layers) {
    const input_frames inputs = make_inputs({250, 8, 6, true});
    const program_run run = run_program([&](program_driver& driver) {
        driver.note_window_title("title.at.start");
        driver.note_status("status.at.start");
        driver.choose_folder(3, in_);
        driver.note_status("scan.status");
        driver.choose_folder(6, out_);
        driver.note_gadget_text("input.field", 2);
        driver.note_gadget_text("output.field", 5);
        driver.note_start_button("before");
        driver.click(9);
        driver.answer_message("Korvel", reply::ok);
        driver.wait_until_idle();
        driver.note_start_button("after");
        driver.note_file("job", job_file());
    });
    expect_clean_end(run);

    EXPECT_EQ(run.note("title.at.start"), "Korvel v0.8");
    EXPECT_EQ(run.note("status.at.start"), "Total Images: 0");
    EXPECT_EQ(run.choosers, (std::vector<std::string>{"Load images...", "Save images..."}));
    // The program asks for "C:\", which names no folder here: the choosers open at the root.
    EXPECT_EQ(run.chooser_folders, (std::vector<std::string>{"/", "/"}));
    EXPECT_EQ(run.note("scan.status"), "Total Images: 250");
    EXPECT_EQ(run.note("input.field"), in_folder());
    EXPECT_EQ(run.note("output.field"), out_folder());
    EXPECT_EQ(run.messages, (std::vector<std::string>{COMPLETED}));
    EXPECT_EQ(run.message_buttons, (std::vector<std::string>{"OK"}));
    EXPECT_EQ(run.progress, (std::vector<int>{40, 80}));
    EXPECT_EQ(run.titles,
              (std::vector<std::string>{"Korvel v0.8 - 40%", "Korvel v0.8 - 80%", "Korvel v0.8"}));
    EXPECT_EQ(run.note("before.state"), "0");
    EXPECT_EQ(run.note("before.face"), "up");
    EXPECT_EQ(run.note("after.state"), "0");
    EXPECT_EQ(run.note("after.face"), "up");

    // Entries 201 to 250 make no frame; nothing else is left in the output folder.
    EXPECT_EQ(folder_names(out_), (std::vector<std::string>{"001.png", "002.png"}));
    expect_frames(out_, {"001.png", "002.png"}, inputs, 100, 255, false);

    const std::vector<std::string> last_group(inputs.names.begin() + 100,
                                              inputs.names.begin() + 200);
    EXPECT_EQ(run.note("job"), job_file_bytes(8, 6, 250, last_group));
    EXPECT_FALSE(std::filesystem::exists(job_file())) << "closing must delete the job file";
}

} // namespace
} // namespace korvel::app_test
