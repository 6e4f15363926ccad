// The soak test, run by hand with ./dev.sh soak and never in CI: twenty renders in one window
// session, with cancels, rescans and changes of both folders between them. The open files of the
// process and its peak resident memory after the last render must be those after the first, so
// nothing a render uses is left behind for the next.
#include "program_scenario.h"

#include "dialog_answers.h"
#include "screen_watch.h"
#include "tests/support/process_watch.h"

#include <dirent.h>

#include <cstdio>
#include <filesystem>
#include <iostream>

namespace korvel::app_test {
namespace {

constexpr int RENDERS = 20;
// Peak memory may settle a little later than the first render (allocator arenas of threads that
// first ran in a later render): 4 MiB or 3 %, whichever is more.
constexpr long long PEAK_SLACK_KIB = 4 * 1024;
constexpr double PEAK_SLACK_SHARE = 0.03;

long long open_files() {
    DIR* folder = opendir("/proc/self/fd");
    if (folder == nullptr) return -1;
    long long count = 0;
    while (const dirent* entry = readdir(folder))
        count += entry->d_name[0] != '.';
    closedir(folder);
    return count - 1; // the listing's own descriptor
}

// Releases the start button once the first frame is saved and stops the render at the question;
// a render that ended first is answered as finished. The answer given, or "" without a dialog.
std::string cancel_after_first_frame(program_driver& driver, const std::string& out) {
    driver.wait_for_file(out + "/01.png", std::chrono::seconds(60));
    driver.click(9);
    const std::optional<shown_dialog> dialog = screen_watch_next_dialog(std::chrono::seconds(60));
    if (!dialog) return "";
    const bool asked = dialog->title == "Quit?";
    if (!press(*dialog, asked ? reply::yes : reply::ok)) driver.fail("could not answer the dialog");
    return asked ? "cancelled" : "finished";
}

class soak_scenario : public program_scenario {
protected:
    void SetUp() override {
        program_scenario::SetUp();
        other_in_ = root_ + "/other-in";
        std::filesystem::create_directory(other_in_);
        // Frames large enough that a render lasts long enough to be cancelled in its middle.
        const frame_set_shape shape{30, 320, 240, true};
        ASSERT_EQ(make_input_frames(in_, shape).names.size(), 30u);
        ASSERT_EQ(make_input_frames(other_in_, shape).names.size(), 30u);
    }

    // Render n: the input folders alternate, each render writes into a fresh output folder, and
    // every fourth render is cancelled after its first frame.
    void render(program_driver& driver, int n) {
        driver.choose_folder(3, n % 2 == 0 ? in_ : other_in_);
        const std::string out = root_ + "/out-" + std::to_string(n);
        std::filesystem::create_directory(out);
        driver.choose_folder(6, out);
        driver.type_text(8, "3");
        driver.click(9);
        if (n % 4 == 3) {
            driver.note("render." + std::to_string(n), cancel_after_first_frame(driver, out));
        } else {
            driver.answer_message("Korvel", reply::ok);
        }
        driver.wait_until_idle();
        // A rescan of the same folder between renders.
        if (n % 5 == 4) driver.choose_folder(3, in_);
    }

    std::string other_in_;
};

TEST_F(soak_scenario, DISABLED_TwentyRendersInOneSessionKeepOpenFilesAndPeakMemoryFlat) {
    const program_run run = run_program(
        [&](program_driver& driver) {
            for (int n = 0; n < RENDERS; ++n) {
                render(driver, n);
                const std::string key = "after." + std::to_string(n);
                driver.note(key + ".files", std::to_string(open_files()));
                driver.note(key + ".peak", std::to_string(test::peak_resident_kib()));
            }
        },
        std::chrono::seconds(900));
    expect_clean_end(run);

    int cancelled = 0;
    for (int n = 0; n < RENDERS; ++n) {
        const std::string key = "after." + std::to_string(n);
        std::cout << "render " << n + 1 << ": " << run.note(key + ".files") << " open files, peak "
                  << run.note(key + ".peak") << " KiB"
                  << (n % 4 == 3 ? " (" + run.note("render." + std::to_string(n)) + ")" : "")
                  << "\n";
        cancelled += run.note("render." + std::to_string(n)) == "cancelled";
    }
    const std::string last = "after." + std::to_string(RENDERS - 1);
    EXPECT_LE(std::stoll(run.note(last + ".files")), std::stoll(run.note("after.0.files")));
    const long long first_peak = std::stoll(run.note("after.0.peak"));
    const long long slack =
        std::max(PEAK_SLACK_KIB, static_cast<long long>(first_peak * PEAK_SLACK_SHARE));
    EXPECT_LE(std::stoll(run.note(last + ".peak")), first_peak + slack);
    EXPECT_GE(cancelled, 1) << "no render was still running when the button was released";
}

} // namespace
} // namespace korvel::app_test
