// Faults that strike the window program in the middle of a render: the output folder taken away,
// a layer deleted or cut short before the render reaches it, the job file removed, and a second
// program started in the same working folder. Each render is held at an input gate while the
// fault is made, so the fault always lands at the same point of the job.
#include "program_scenario.h"

#include "input_gate.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

namespace korvel::app_test {
namespace {

namespace fs = std::filesystem;

constexpr const char* SECOND_REFUSED =
    "Error! / Korvel is already running in this working folder; close it first.";

// Renders with three layers per frame; the fifth input, in frame 2, is held at a gate.
class render_fault_scenario : public program_scenario {
protected:
    void make_gated_inputs(int count) {
        inputs_ = make_inputs({count, 8, 6, true});
        gate_ = make_input_gate(in_ + "/f0005.png", root_);
        ASSERT_FALSE(gate_.entry.empty()) << "no gate for the fifth frame";
    }

    // Starts the render and waits until frame 1 is saved and frame 2 waits at the gate.
    void start_and_hold_at_frame_2(program_driver& driver) {
        start_render(driver, "3");
        driver.wait_for_file(out_ + "/" + frame_name(1, count()), std::chrono::seconds(30));
        if (!gate_wait_for_reader(std::chrono::seconds(30)))
            driver.fail("the render never reached the gate");
    }

    void release_gate(program_driver& driver) {
        if (!gate_release(gate_)) driver.fail("could not let f0005 arrive");
    }

    // Does fault to a layer of the last frame but one while the render waits at the gate. That
    // layer lies further ahead than any decoding ahead reaches, whatever the number of cores:
    // the render must meet the fault itself.
    void expect_layer_fault_ends_the_render(const std::function<bool(const std::string&)>& fault) {
        const int count = 3 * (static_cast<int>(std::thread::hardware_concurrency()) / 3 + 8);
        make_gated_inputs(count);
        const std::string victim = inputs_.names[static_cast<std::size_t>(count - 4)];
        const program_run run = run_program([&](program_driver& driver) {
            start_and_hold_at_frame_2(driver);
            if (!fault(in_ + "/" + victim)) driver.fail("could not damage " + victim);
            release_gate(driver);
            driver.answer_message("Error Loading Image!", reply::ok);
            driver.wait_until_idle();
            driver.note_start_button("end");
        });
        expect_clean_end(run);
        EXPECT_EQ(run.messages,
                  (std::vector<std::string>{"Error Loading Image! / Unable to load, " +
                                            in_folder() + victim}));
        EXPECT_EQ(run.note("end.state"), "0");
        EXPECT_EQ(run.note("end.face"), "up");
        // The frames before the damaged one, whole and as an undisturbed run makes them; nothing
        // of the damaged frame, not even a temporary file.
        const std::vector<std::string> before = frame_names(count / 3 - 2, count);
        EXPECT_EQ(folder_names(out_), before);
        expect_frames(out_, before, inputs_, 3, 255, false);
    }

    int count() const { return static_cast<int>(inputs_.names.size()); }

    input_frames inputs_;
    input_gate gate_;
};

bool wait_for_path(const std::string& path, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!fs::exists(path)) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

TEST_F(render_fault_scenario, AnOutputFolderRemovedMidRenderIsUnableToSaveAndNotRecreated) {
    make_gated_inputs(9);
    const program_run run = run_program([&](program_driver& driver) {
        start_and_hold_at_frame_2(driver);
        std::error_code error;
        if (fs::remove_all(out_, error) == 0 || error) driver.fail("could not remove the output");
        release_gate(driver);
        driver.answer_message("Error!", reply::ok);
        driver.wait_until_idle();
        driver.note_start_button("end");
    });
    expect_clean_end(run);
    EXPECT_EQ(run.messages,
              (std::vector<std::string>{"Error! / Unable to save, " + out_folder() + "2.png"}));
    EXPECT_EQ(run.note("end.state"), "0");
    EXPECT_EQ(run.note("end.face"), "up");
    EXPECT_FALSE(fs::exists(out_)) << "the removed output folder came back";
}

TEST_F(render_fault_scenario, ALayerDeletedBeforeTheRenderReachesItIsUnableToLoad) {
    expect_layer_fault_ends_the_render([](const std::string& layer) {
        std::error_code error;
        return fs::remove(layer, error);
    });
}

TEST_F(render_fault_scenario, ALayerCutShortBeforeTheRenderReachesItIsUnableToLoad) {
    expect_layer_fault_ends_the_render([](const std::string& layer) {
        std::error_code error;
        fs::resize_file(layer, fs::file_size(layer) / 2, error);
        return !error;
    });
}

// The job keeps the job file open from its start and reads nothing from it later, so a job file
// removed under a running render does not stop it; it is gone afterwards, and the next start
// asks for it until the input folder is chosen again.
TEST_F(render_fault_scenario, AJobFileRemovedMidRenderLetsTheRenderFinishThenIsMissed) {
    make_gated_inputs(9);
    const program_run run = run_program([&](program_driver& driver) {
        start_and_hold_at_frame_2(driver);
        std::error_code error;
        if (!fs::remove(job_file(), error)) driver.fail("there was no job file to remove");
        release_gate(driver);
        driver.answer_message("Korvel", reply::ok);
        driver.wait_until_idle();
        driver.note_file("job.after", job_file());
        driver.click(9);
        driver.answer_message("Error!", reply::ok);
        driver.wait_until_idle();
        driver.note_start_button("missed");
        driver.choose_folder(3, in_);
        driver.click(9);
        driver.answer_message("Korvel", reply::ok);
        driver.wait_until_idle();
        driver.note_file("job.rescanned", job_file());
    });
    expect_clean_end(run);
    EXPECT_EQ(run.messages,
              (std::vector<std::string>{COMPLETED, "Error! / Unable to open a temporary file.",
                                        COMPLETED}));
    EXPECT_EQ(run.note("job.after"), "<missing>");
    EXPECT_EQ(run.note("missed.state"), "0");
    EXPECT_EQ(run.note("missed.face"), "up");
    EXPECT_EQ(run.note("job.rescanned"),
              job_file_bytes(8, 6, 9, {inputs_.names[6], inputs_.names[7], inputs_.names[8]}));
    EXPECT_EQ(folder_names(out_), frame_names(3, 9));
    expect_frames(out_, frame_names(3, 9), inputs_, 3, 255, false);
}

TEST_F(render_fault_scenario, ASecondProgramInTheSameFolderIsRefusedAndLeavesTheFirstAlone) {
    make_gated_inputs(9);
    const std::string second_done = root_ + "/second-done";
    const running_child first = start_program(
        [&](program_driver& driver) {
            start_and_hold_at_frame_2(driver);
            driver.wait_for_file(second_done, std::chrono::seconds(90));
            driver.note_file("job.after.second", job_file());
            release_gate(driver);
            driver.answer_message("Korvel", reply::ok);
            driver.wait_until_idle();
            driver.note_file("job.after.render", job_file());
        },
        "first-errors.txt");
    EXPECT_TRUE(wait_for_path(out_ + "/1.png", std::chrono::seconds(60)));
    const program_run second = run_program_without_window(
        [](program_driver& driver) { driver.answer_ok_without_window("Error!"); },
        "second-errors.txt");
    std::ofstream(second_done).put('\n');
    const program_run run = finish_program(first);

    EXPECT_TRUE(second.child.exited) << "ended by signal " << second.child.signal;
    EXPECT_EQ(second.child.exit_code, 1);
    EXPECT_EQ(second.messages, (std::vector<std::string>{SECOND_REFUSED}));
    EXPECT_TRUE(second.failures.empty()) << ::testing::PrintToString(second.failures);
    EXPECT_FALSE(has_sanitizer_report(second.child.error_output)) << second.child.error_output;

    expect_clean_end(run);
    EXPECT_EQ(run.messages, (std::vector<std::string>{COMPLETED}));
    EXPECT_EQ(run.note("job.after.second"), job_file_bytes(8, 6, 9));
    EXPECT_EQ(run.note("job.after.render"),
              job_file_bytes(8, 6, 9, {inputs_.names[6], inputs_.names[7], inputs_.names[8]}));
    EXPECT_EQ(folder_names(out_), frame_names(3, 9));
    expect_frames(out_, frame_names(3, 9), inputs_, 3, 255, false);
}

} // namespace
} // namespace korvel::app_test
