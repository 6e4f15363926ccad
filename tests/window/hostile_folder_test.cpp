// The window on folders as users have them: a frame whose header claims 4 GiB, ten thousand tiny
// frames, names with bytes that are no UTF-8, and folders and links named like frames. Each
// renders or is reported with one clear message, and the window stays usable.
#include "program_scenario.h"

#include "../image/png_file_damage.h"

#include <filesystem>
#include <iostream>

namespace korvel::app_test {
namespace {

constexpr const char* NO_RESOLUTION =
    "Error! / Unable to get the resolution from a ''*.png'' file.";

std::string unable_to_load(const std::string& path) {
    return "Error Loading Image! / Unable to load, " + path;
}

double seconds_between(const std::string& start_ns, const std::string& end_ns) {
    return static_cast<double>(std::stoll(end_ns) - std::stoll(start_ns)) / 1e9;
}

// Renders L = 3 from in_ to out_, answering the one message the render ends with.
void render_three_per_frame(program_driver& driver, const std::string& in, const std::string& out,
                            const std::string& ending_title) {
    driver.choose_folder(3, in);
    driver.choose_folder(6, out);
    driver.type_text(8, "3");
    driver.click(9);
    driver.answer_message(ending_title, reply::ok);
    driver.wait_until_idle();
    driver.note_start_button("end");
}

TEST_F(program_scenario, AFrameClaimingFourGigabytesIsUnableToLoadAndTheWindowStaysUsable) {
    const input_frames inputs = make_inputs({9, 8, 6, true});
    ASSERT_TRUE(korvel::test::claim_picture_size(in_ + "/f0005.png", 32767, 32767));
    const program_run run = run_program([&](program_driver& driver) {
        driver.note("start", std::to_string(monotonic_ns()));
        render_three_per_frame(driver, in_, out_, "Error Loading Image!");
        driver.note("end", std::to_string(monotonic_ns()));
    });
    expect_clean_end(run);
    EXPECT_EQ(run.messages, (std::vector<std::string>{unable_to_load(in_folder() + "f0005.png")}));
    EXPECT_LT(seconds_between(run.note("start"), run.note("end")), 30.0);
    EXPECT_EQ(run.note("end.state"), "0");
    EXPECT_EQ(run.note("end.face"), "up");
    EXPECT_EQ(folder_names(out_), frame_names(1, 9));
    expect_frames(out_, frame_names(1, 9), inputs, 3, 255, false);
}

TEST_F(program_scenario, AFrameCutShortInItsImageDataIsUnableToLoad) {
    const input_frames inputs = make_inputs({9, 8, 6, true});
    ASSERT_TRUE(korvel::test::cut_inside_image_data(in_ + "/f0005.png"));
    const program_run run = run_program([&](program_driver& driver) {
        render_three_per_frame(driver, in_, out_, "Error Loading Image!");
    });
    expect_clean_end(run);
    EXPECT_EQ(run.messages, (std::vector<std::string>{unable_to_load(in_folder() + "f0005.png")}));
    EXPECT_EQ(run.note("end.face"), "up");
    EXPECT_EQ(folder_names(out_), frame_names(1, 9));
    expect_frames(out_, frame_names(1, 9), inputs, 3, 255, false);
}

TEST_F(program_scenario, AHugeLastFrameGivesNoResolutionAtTheScanAndAtTheStart) {
    make_inputs({4, 8, 6, true});
    ASSERT_TRUE(korvel::test::claim_picture_size(in_ + "/f0004.png", 32767, 32767));
    const program_run run = run_program([&](program_driver& driver) {
        driver.choose_folder(3, in_);
        driver.answer_message("Error!", reply::ok);
        driver.note_status("status");
        driver.choose_folder(6, out_);
        driver.type_text(8, "2");
        driver.click(9);
        driver.answer_message("Error!", reply::ok);
        driver.wait_until_idle();
    });
    expect_clean_end(run);
    EXPECT_EQ(run.messages, (std::vector<std::string>{NO_RESOLUTION, NO_RESOLUTION}));
    EXPECT_EQ(run.note("status"), "Total Images: 4");
    EXPECT_TRUE(folder_names(out_).empty());
}

TEST_F(program_scenario, TenThousandTinyFramesAreCountedAndRenderedInReasonableTime) {
    const rgba_image tiny = blank_image(2, 2);
    for (int i = 1; i <= 10000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/f%05d.png", i);
        ASSERT_TRUE(write_png(in_ + name, tiny, true));
    }
    const program_run run = run_program([&](program_driver& driver) {
        driver.note("scan.start", std::to_string(monotonic_ns()));
        driver.choose_folder(3, in_);
        driver.note("scan.end", std::to_string(monotonic_ns()));
        driver.note_status("status");
        driver.choose_folder(6, out_);
        driver.type_text(8, "1000");
        driver.note("render.start", std::to_string(monotonic_ns()));
        driver.click(9);
        driver.answer_message("Korvel", reply::ok);
        driver.wait_until_idle();
        driver.note("render.end", std::to_string(monotonic_ns()));
    });
    expect_clean_end(run);
    const double scan = seconds_between(run.note("scan.start"), run.note("scan.end"));
    const double render = seconds_between(run.note("render.start"), run.note("render.end"));
    std::cout << "10000 inputs: scan " << scan << " s, render of 10 frames " << render << " s\n";
    EXPECT_EQ(run.note("status"), "Total Images: 10000");
    EXPECT_EQ(run.messages, (std::vector<std::string>{COMPLETED}));
    // Well under a second and a few seconds in an optimised build; sanitizers are much slower.
    EXPECT_LT(scan, 30.0);
    EXPECT_LT(render, 120.0);
    EXPECT_EQ(folder_names(out_), frame_names(10, 10000));
}

TEST_F(program_scenario, FrameNamesWithBytesThatAreNoUtf8AreCountedLoadedAndRendered) {
    const input_frames inputs = make_inputs({4, 8, 6, true});
    ASSERT_EQ(inputs.names.size(), 4u);
    // Latin-1 "é" and a stray 0xFF, as archives from older systems leave them; the order stays.
    for (const std::string& name : inputs.names)
        std::filesystem::rename(in_ + "/" + name,
                                in_ + "/" + name.substr(0, 5) + " fr\xE9me\xFF.png");
    const program_run run = run_program([&](program_driver& driver) {
        driver.choose_folder(3, in_);
        driver.note_status("status");
        driver.choose_folder(6, out_);
        driver.type_text(8, "2");
        driver.click(9);
        driver.answer_message("Korvel", reply::ok);
        driver.wait_until_idle();
    });
    expect_clean_end(run);
    EXPECT_EQ(run.messages, (std::vector<std::string>{COMPLETED}));
    EXPECT_EQ(run.note("status"), "Total Images: 4");
    EXPECT_EQ(folder_names(out_), frame_names(2, 4));
    expect_frames(out_, frame_names(2, 4), inputs, 2, 255, false);
}

TEST_F(program_scenario, FoldersAndLinksNamedLikeFramesAreUnableToLoadWhereTheyFall) {
    const input_frames inputs = make_inputs({9, 8, 6, true});
    const std::string elsewhere = root_ + "/elsewhere";
    std::filesystem::create_directory(elsewhere);
    // A link to a frame kept elsewhere is the frame itself.
    std::filesystem::rename(in_ + "/f0002.png", elsewhere + "/f0002.png");
    std::filesystem::create_symlink(elsewhere + "/f0002.png", in_ + "/f0002.png");
    // Three renders: f0005 a link to a folder; then f0005 back and f0008 a dangling link; then
    // f0008 a folder.
    const std::string fifth = in_ + "/f0005.png";
    const std::string eighth = in_ + "/f0008.png";
    std::filesystem::rename(fifth, elsewhere + "/f0005.png");
    std::filesystem::create_directory_symlink(elsewhere, fifth);
    std::filesystem::remove(eighth);
    std::filesystem::create_symlink(root_ + "/nothing-here.png", eighth);
    const program_run run = run_program([&](program_driver& driver) {
        render_three_per_frame(driver, in_, out_, "Error Loading Image!");
        std::filesystem::remove(fifth);
        std::filesystem::rename(elsewhere + "/f0005.png", fifth);
        driver.click(9);
        driver.answer_message("Error Loading Image!", reply::ok);
        driver.wait_until_idle();
        std::filesystem::remove(eighth);
        std::filesystem::create_directory(eighth);
        driver.click(9);
        driver.answer_message("Error Loading Image!", reply::ok);
        driver.wait_until_idle();
        driver.note_start_button("last");
    });
    expect_clean_end(run);
    EXPECT_EQ(run.messages, (std::vector<std::string>{unable_to_load(in_folder() + "f0005.png"),
                                                      unable_to_load(in_folder() + "f0008.png"),
                                                      unable_to_load(in_folder() + "f0008.png")}));
    EXPECT_EQ(run.note("last.face"), "up");
    EXPECT_EQ(folder_names(out_), frame_names(2, 9));
    expect_frames(out_, frame_names(2, 9), inputs, 3, 255, false);
}

TEST_F(program_scenario, AFolderNamedLikeTheLastFrameGivesNoResolution) {
    make_inputs({4, 8, 6, true});
    std::filesystem::create_directory(in_ + "/zzz.png");
    const program_run run = run_program([&](program_driver& driver) {
        driver.choose_folder(3, in_);
        driver.answer_message("Error!", reply::ok);
        driver.note_status("status");
    });
    expect_clean_end(run);
    EXPECT_EQ(run.messages, (std::vector<std::string>{NO_RESOLUTION}));
    EXPECT_EQ(run.note("status"), "Total Images: 5");
}

} // namespace
} // namespace korvel::app_test
