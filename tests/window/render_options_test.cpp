// Renders with the other fields: the reverse order, alpha levels below 255, and inputs without
// an alpha channel.
#include "program_scenario.h"

#include "blur_reference.h"

#include <filesystem>

namespace korvel::app_test {
namespace {

// Picks both folders, sets layers per frame and alpha levels, starts and waits for the end.
void render_with(program_driver& driver, const std::string& in, const std::string& out,
                 const std::string& layers, const std::string& alpha_levels) {
    driver.choose_folder(3, in);
    driver.choose_folder(6, out);
    driver.type_text(8, layers);
    driver.type_text(16, alpha_levels);
    driver.click(9);
    driver.answer_message("Korvel", reply::ok);
    driver.wait_until_idle();
    driver.note_start_button("end");
}

void expect_completed(const program_run& run) {
    expect_clean_end(run);
    EXPECT_EQ(run.messages, (std::vector<std::string>{COMPLETED}));
    EXPECT_EQ(run.note("end.state"), "0");
    EXPECT_EQ(run.note("end.face"), "up");
}

TEST_F(program_scenario, ReverseOrderPutsEachGroupsLastEntryAtTheBase) {
    const input_frames inputs = make_inputs({10, 8, 6, true});
    for (int frame = 1; frame <= 3; ++frame)
        ASSERT_NE(inputs.expected_frame(frame, 3, 255, true).rgba,
                  inputs.expected_frame(frame, 3, 255, false).rgba)
            << "the inputs cannot tell the two orders apart";
    const program_run run = run_program([&](program_driver& driver) {
        driver.click(22);
        driver.note_gadget_state("reverse", 22);
        render_with(driver, in_, out_, "3", "255");
    });
    expect_completed(run);
    EXPECT_EQ(run.note("reverse"), "1");
    // Ten inputs make three frames of three, named to the two digits of the count; progress is
    // that of each saved frame.
    EXPECT_EQ(run.progress, (std::vector<int>{30, 60, 90}));
    EXPECT_EQ(folder_names(out_), (std::vector<std::string>{"01.png", "02.png", "03.png"}));
    expect_frames(out_, frame_names(3, 10), inputs, 3, 255, true);
}

TEST_F(program_scenario, AlphaLevelsBelow255LeaveTheFirstLayerOpaque) {
    const input_frames inputs = make_inputs({12, 8, 6, true});
    const program_run run =
        run_program([&](program_driver& driver) { render_with(driver, in_, out_, "4", "100"); });
    expect_completed(run);
    EXPECT_EQ(folder_names(out_), frame_names(3, 12));
    expect_frames(out_, frame_names(3, 12), inputs, 4, 100, false);
}

TEST_F(program_scenario, PlainRgbInputsWithOneLayerGiveFullyTransparentFrames) {
    const input_frames inputs = make_inputs({5, 8, 6, false});
    const program_run run =
        run_program([&](program_driver& driver) { render_with(driver, in_, out_, "1", "255"); });
    expect_completed(run);
    ASSERT_EQ(folder_names(out_), frame_names(5, 5));
    expect_frames(out_, frame_names(5, 5), inputs, 1, 255, false);
    // The colour is copied but the canvas keeps its alpha of 0 everywhere.
    for (const std::string& name : frame_names(5, 5)) {
        const png_read frame = read_png(out_ + "/" + name);
        for (std::size_t i = 3; i < frame.image.rgba.size(); i += 4)
            ASSERT_EQ(frame.image.rgba[i], 0) << name;
    }
}

TEST_F(program_scenario, PlainRgbInputsTakeTheirAlphaFromTheLaterLayers) {
    const input_frames inputs = make_inputs({6, 8, 6, false});
    const program_run run =
        run_program([&](program_driver& driver) { render_with(driver, in_, out_, "3", "255"); });
    expect_completed(run);
    ASSERT_EQ(folder_names(out_), frame_names(2, 6));
    expect_frames(out_, frame_names(2, 6), inputs, 3, 255, false);
}

TEST_F(program_scenario, AlphaLevelsOutside0To255StillRenderEveryFrame) {
    // What such opacities draw is the drawing's own choice; the render must neither fail nor
    // stop on them.
    make_inputs({6, 8, 6, true});
    const std::string below = root_ + "/below";
    std::filesystem::create_directory(below);
    const program_run run = run_program([&](program_driver& driver) {
        render_with(driver, in_, out_, "3", "1000");
        driver.type_text(5, below + "/");
        driver.type_text(16, "-50");
        driver.click(9);
        driver.answer_message("Korvel", reply::ok);
        driver.wait_until_idle();
    });
    expect_clean_end(run);
    EXPECT_EQ(run.messages, (std::vector<std::string>{COMPLETED, COMPLETED}));
    for (const std::string& folder : {out_, below}) {
        ASSERT_EQ(folder_names(folder), frame_names(2, 6)) << folder;
        for (const std::string& name : frame_names(2, 6)) {
            const png_read frame = read_png(folder + "/" + name);
            EXPECT_TRUE(frame.ok && frame.colour_type == 6 && frame.image.width == 8 &&
                        frame.image.height == 6)
                << folder << "/" << name;
        }
    }
}

TEST_F(program_scenario, AnOutputFolderTypedWithoutItsSlashPrefixesTheFrameNames) {
    const input_frames inputs = make_inputs({4, 8, 6, true});
    const program_run run = run_program([&](program_driver& driver) {
        driver.choose_folder(3, in_);
        driver.type_text(5, out_);
        driver.type_text(8, "2");
        driver.click(9);
        driver.answer_message("Korvel", reply::ok);
        driver.wait_until_idle();
        driver.note_start_button("end");
    });
    expect_completed(run);
    // The folder text and the frame name are joined as they are.
    EXPECT_TRUE(folder_names(out_).empty());
    expect_frames(root_, {"out1.png", "out2.png"}, inputs, 2, 255, false);
}

} // namespace
} // namespace korvel::app_test
