// Ctrl+C (and SIGTERM) during a render: the frames already under way are finished, the program
// ends with 128 + the signal, and every frame left on disk is whole, with no temporary file.
#include "render_process.h"
#include "test_pictures.h"
#include "work_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

namespace korvel::test {
namespace {

constexpr int input_count = 300;

bool has_frame(const std::string& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".png") return true;
    }
    return false;
}

// Waits until the first finished frame appears: the render is then well under way.
bool wait_for_first_frame(const std::string& folder) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!has_frame(folder)) {
        if (std::chrono::steady_clock::now() > give_up) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

class BatchInterrupt : public ::testing::TestWithParam<int> {};

TEST_P(BatchInterrupt, FinishesTheFramesUnderWayAndLeavesNoTornFrame) {
    const int signal = GetParam();
    const work_folder work;
    // Every input is the same large noisy picture, slow to encode: all frames are equal, and
    // a full run would take far longer than the test waits.
    const std::string source = work.path("noise.png");
    ASSERT_TRUE(write_png(source, noise_picture(1024, 768, 7)));
    const std::string in = work.make_folder("in");
    for (int i = 1; i <= input_count; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "/%03d.png", i);
        std::filesystem::create_symlink(source, in + name);
    }
    const std::set<std::string> inputs = folder_names(in);
    const std::string out = work.make_folder("out");
    const std::string cwd = work.make_folder("cwd");

    const pid_t pid = start_render({"-l", "1", in, out}, cwd, work.path("err.txt"));
    ASSERT_TRUE(wait_for_first_frame(out)) << read_file(work.path("err.txt"));
    kill(pid, signal);
    const int status = wait_for_render(pid);
    const std::string err = read_file(work.path("err.txt"));
    EXPECT_EQ(status, 128 + signal) << err;

    const std::string reference_folder = work.make_folder("reference");
    ASSERT_EQ(run_render({"-q", "-l", "1", "--frames", "1", in, reference_folder}).status, 0);
    const std::string reference = read_file(reference_folder + "/001.png");
    ASSERT_FALSE(reference.empty());

    const folder_contents frames = read_folder(out);
    EXPECT_LT(frames.size(), static_cast<std::size_t>(input_count)) << "stopped early";
    int expected_number = 1;
    for (const auto& [name, bytes] : frames) {
        char expected_name[16];
        std::snprintf(expected_name, sizeof expected_name, "%03d.png", expected_number++);
        EXPECT_EQ(name, expected_name) << "frames are whole and the first ones, without gaps";
        EXPECT_TRUE(bytes == reference) << name << " differs from a full run's frame";
    }
    const std::string note =
        "korvel-render: stopped after saving " + std::to_string(frames.size()) + " of 300 frames\n";
    EXPECT_NE(err.find(note), std::string::npos) << err;
    EXPECT_TRUE(read_folder(cwd).empty());
    EXPECT_EQ(folder_names(in), inputs);
}

INSTANTIATE_TEST_SUITE_P(CtrlCAndTerm, BatchInterrupt, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& info) { return info.param == SIGINT ? "Int" : "Term"; });

} // namespace
} // namespace korvel::test
