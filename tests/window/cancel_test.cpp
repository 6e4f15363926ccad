// Cancelling a render from the start button: releasing it raises the question at the worker's
// next check; No presses the button again and the render goes on to its end, Yes ends the job
// without the completion message, keeping the frames saved before and dropping the one in work.
#include "program_scenario.h"

#include "blur_reference.h"
#include "input_gate.h"

namespace korvel::app_test {
namespace {

constexpr const char* QUIT_PROMPT = "Quit? / Are you sure you want to quit?.";

// Nine frames in groups of three; the fifth, the second layer of frame 2, arrives only when the
// test lets it. The button is released once frame 1 is saved, so the question always comes
// while frame 2 is in work.
class cancel_scenario : public program_scenario {
protected:
    void SetUp() override {
        program_scenario::SetUp();
        inputs_ = make_inputs({9, 8, 6, true});
        gate_ = make_input_gate(in_ + "/f0005.png", root_);
        ASSERT_FALSE(gate_.entry.empty()) << "no gate for the fifth frame";
    }

    // Starts a render of three layers per frame and releases the button during frame 2.
    void release_during_frame_2(program_driver& driver) {
        start_render(driver, "3");
        driver.wait_for_file(out_ + "/1.png", std::chrono::seconds(30));
        driver.click(9);
        driver.note_start_button("released");
        if (!gate_release(gate_)) driver.fail("could not let f0005 arrive");
    }

    input_frames inputs_;
    input_gate gate_;
};

TEST_F(cancel_scenario, AnsweringNoPressesTheButtonAgainAndRendersEveryFrame) {
    // The eighth input, in frame 3, holds the render back until the button has been looked at.
    const input_gate frame_3 = make_input_gate(in_ + "/f0008.png", root_);
    ASSERT_FALSE(frame_3.entry.empty());
    const program_run run = run_program([&](program_driver& driver) {
        release_during_frame_2(driver);
        driver.answer_message("Quit?", reply::no);
        driver.wait_for_file(out_ + "/2.png", std::chrono::seconds(30));
        driver.note_start_button("after.no");
        if (!gate_release(frame_3)) driver.fail("could not let f0008 arrive");
        driver.answer_message("Korvel", reply::ok);
        driver.wait_until_idle();
        driver.note_start_button("end");
    });
    expect_clean_end(run);

    EXPECT_EQ(run.messages, (std::vector<std::string>{QUIT_PROMPT, COMPLETED}));
    ASSERT_FALSE(run.message_buttons.empty());
    EXPECT_EQ(run.message_buttons[0], "Yes|No");
    EXPECT_EQ(run.note("released.state"), "0");
    EXPECT_EQ(run.note("after.no.state"), "1");
    EXPECT_EQ(run.note("after.no.face"), "down");
    EXPECT_EQ(run.note("end.state"), "0");
    EXPECT_EQ(run.note("end.face"), "up");
    EXPECT_EQ(run.progress,
              (std::vector<int>{reference_progress(9, 3, 1), reference_progress(9, 3, 2),
                                reference_progress(9, 3, 3)}));
    EXPECT_EQ(folder_names(out_), frame_names(3, 9));
    expect_frames(out_, frame_names(3, 9), inputs_, 3, 255, false);
}

TEST_F(cancel_scenario, AnsweringYesStopsWithoutCompletionKeepingTheFramesBefore) {
    const program_run run = run_program([&](program_driver& driver) {
        release_during_frame_2(driver);
        driver.answer_message("Quit?", reply::yes);
        driver.wait_until_idle();
        driver.note_start_button("end");
        std::string frames;
        for (const std::string& name : folder_names(out_))
            frames += name + " ";
        driver.note("frames", frames);
        // The next start renders from the beginning.
        driver.click(9);
        driver.answer_message("Korvel", reply::ok);
        driver.wait_until_idle();
    });
    expect_clean_end(run);

    EXPECT_EQ(run.messages, (std::vector<std::string>{QUIT_PROMPT, COMPLETED}));
    EXPECT_EQ(run.note("end.state"), "0");
    EXPECT_EQ(run.note("end.face"), "up");
    // Frame 2 was in work: it is not saved, and no temporary file of it is left.
    EXPECT_EQ(run.note("frames"), "1.png ");
    // The stopped job's title and progress, then the new start's from 0.
    EXPECT_EQ(run.titles,
              (std::vector<std::string>{"Korvel v0.8 - 33%", "Korvel v0.8", "Korvel v0.8 - 33%",
                                        "Korvel v0.8 - 67%", "Korvel v0.8 - 100%", "Korvel v0.8"}));
    EXPECT_EQ(run.progress, (std::vector<int>{33, 0, 33, 67, 100}));
    EXPECT_EQ(folder_names(out_), frame_names(3, 9));
    expect_frames(out_, frame_names(3, 9), inputs_, 3, 255, false);
}

} // namespace
} // namespace korvel::app_test
