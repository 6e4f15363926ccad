// Starts that cannot render: a folder missing, layers per frame that make no whole frame, and no
// job file to start from. Each is reported, nothing is written, and the start button is up with
// its "Render" face again, ready for the next start.
#include "program_scenario.h"

namespace korvel::app_test {
namespace {

constexpr const char* NO_FOLDER = "WAIT! / Please select an Input and Output folder.";
constexpr const char* BAD_LAYERS =
    "Error! / Layers per Frame must be a whole number of at least 1.";

TEST_F(program_scenario, StartWithAFolderMissingAsksForBothAndStartsNothing) {
    make_inputs({3, 8, 6, true});
    const program_run run = run_program([&](program_driver& driver) {
        driver.choose_folder(6, out_);
        driver.click(9);
        driver.answer_message("WAIT!", reply::ok);
        driver.note_start_button("no.input");
        driver.note("no.input.flag", std::to_string(driver.render_flag()));
        driver.choose_folder(3, in_);
        // A cancelled chooser empties the output field.
        driver.choose_folder(6, "");
        driver.note_gadget_text("output.field", 5);
        driver.click(9);
        driver.answer_message("WAIT!", reply::ok);
        driver.note_start_button("no.output");
        driver.note("no.output.flag", std::to_string(driver.render_flag()));
    });
    expect_clean_end(run);
    EXPECT_EQ(run.messages, (std::vector<std::string>{NO_FOLDER, NO_FOLDER}));
    for (const std::string start : {"no.input", "no.output"}) {
        EXPECT_EQ(run.note(start + ".state"), "0") << start;
        EXPECT_EQ(run.note(start + ".face"), "up") << start;
        EXPECT_EQ(run.note(start + ".flag"), "0") << start;
    }
    EXPECT_EQ(run.note("output.field"), "");
    EXPECT_TRUE(run.progress.empty());
    EXPECT_TRUE(run.titles.empty());
    EXPECT_TRUE(folder_names(out_).empty());
}

TEST_F(program_scenario, LayersPerFrameBelowOneOrNoNumberEndsTheJobAtOnce) {
    make_inputs({4, 8, 6, true});
    const std::vector<std::string> refused{"0", "-3", "many"};
    const program_run run = run_program([&](program_driver& driver) {
        driver.choose_folder(3, in_);
        driver.choose_folder(6, out_);
        for (const std::string& layers : refused) {
            driver.type_text(8, layers);
            driver.click(9);
            driver.answer_message("Error!", reply::ok);
            driver.wait_until_idle();
            driver.note_start_button(layers);
        }
    });
    expect_clean_end(run);
    EXPECT_EQ(run.messages, std::vector<std::string>(refused.size(), BAD_LAYERS));
    for (const std::string& layers : refused) {
        EXPECT_EQ(run.note(layers + ".state"), "0") << layers;
        EXPECT_EQ(run.note(layers + ".face"), "up") << layers;
    }
    EXPECT_TRUE(run.titles.empty());
    EXPECT_TRUE(folder_names(out_).empty());
}

TEST_F(program_scenario, MoreLayersPerFrameThanImagesIsReportedInsteadOfCompletion) {
    make_inputs({5, 8, 6, true});
    const program_run run = run_program([&](program_driver& driver) {
        start_render(driver, "6");
        driver.answer_message("Error!", reply::ok);
        driver.wait_until_idle();
        driver.note_start_button("end");
    });
    expect_clean_end(run);
    EXPECT_EQ(run.messages, (std::vector<std::string>{
                                "Error! / Layers per Frame is larger than the number of images."}));
    EXPECT_EQ(run.note("end.state"), "0");
    EXPECT_EQ(run.note("end.face"), "up");
    EXPECT_TRUE(folder_names(out_).empty());
}

TEST_F(program_scenario, StartWithoutAScanReportsTheMissingJobFileAndTheNextStartWorks) {
    const input_frames inputs = make_inputs({6, 8, 6, true});
    const program_run run = run_program([&](program_driver& driver) {
        driver.type_text(2, in_folder());
        driver.type_text(5, out_folder());
        driver.type_text(8, "3");
        driver.click(9);
        driver.answer_message("Error!", reply::ok);
        driver.wait_until_idle();
        driver.note_start_button("refused");
        driver.choose_folder(3, in_);
        driver.click(9);
        driver.answer_message("Korvel", reply::ok);
        driver.wait_until_idle();
        driver.note_start_button("end");
    });
    expect_clean_end(run);
    EXPECT_EQ(run.messages,
              (std::vector<std::string>{"Error! / Unable to open a temporary file.", COMPLETED}));
    EXPECT_EQ(run.note("refused.state"), "0");
    EXPECT_EQ(run.note("refused.face"), "up");
    EXPECT_EQ(run.note("end.state"), "0");
    EXPECT_EQ(run.note("end.face"), "up");
    EXPECT_EQ(folder_names(out_), frame_names(2, 6));
    expect_frames(out_, frame_names(2, 6), inputs, 3, 255, false);
}

} // namespace
} // namespace korvel::app_test
