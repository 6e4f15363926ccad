// korvel-render's windows and weighted means. Output frame n of a run with a step is made of
// inputs (n - 1) x S + 1 to (n - 1) x S + L: byte for byte the one frame that a run without a
// step makes of a folder holding just those inputs, which sums its layers anew where the stepped
// run slides its sums from window to window. Weights follow reverse order, written weights as
// large as 1024 give the exact frames of equal ones, and the thread count changes no byte;
// --count tells the number of frames beforehand. (The means themselves are
// checked against their formulas in the engine's tests.)
#include "batch/batch_render.h"
#include "tests/batch/render_process.h"
#include "tests/support/test_png.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace korvel::test {
namespace {

constexpr int WINDOW_INPUTS = 10;

struct window_row {
    int layers, step;                      // step 0: no --step
    std::vector<std::string> mode;         // the options besides -l and --step
    std::vector<std::string> same_as = {}; // other options that must give the same frames
};

const window_row rows[] = {
    {3, 1, {"--weights", "equal"}},
    {3, 2, {"--weights", "1,2,3"}},
    {3, 2, {"--weights", "1,2,3", "-r"}, {"--weights", "3,2,1"}},
    {3, 1, {"--weights", "1024,1024,1024"}, {"--weights", "equal"}},
    {4, 1, {"--weights", "equal", "--linear"}},
    {2, 4, {"--weights", "gauss:0.5"}},
    {4, 3, {"-r"}},
    {4, 1, {"--weights", "gauss"}, {"--weights", "gauss:0.6666666666666666"}},
    {10, 3, {"--weights", "equal"}},
    {10, 0, {"-r"}},
};

std::string input_name(int index) {
    char name[32];
    std::snprintf(name, sizeof name, "frame%03d.png", index);
    return name;
}

std::vector<std::string> args_of(const window_row& row, std::vector<std::string> more,
                                 bool stepped = true) {
    std::vector<std::string> args{"-q", "-l", std::to_string(row.layers)};
    if (stepped && row.step) args.insert(args.end(), {"--step", std::to_string(row.step)});
    args.insert(args.end(), row.mode.begin(), row.mode.end());
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// The one frame that a run without a step makes of window n's inputs alone.
std::string window_alone(const scratch_folder& work, const std::string& in, const window_row& row,
                         int n) {
    const std::string leaf = "alone" + std::to_string(n);
    const std::string alone = work.make_folder(leaf), out = work.make_folder(leaf + "-out");
    for (int k = 0; k < row.layers; ++k) {
        const std::string name = input_name((n - 1) * row.step + 1 + k);
        work.write(leaf + "/" + name, read_file(in + "/" + name));
    }
    EXPECT_EQ(run_render(args_of(row, {alone, out}, false)).status, EXIT_RENDERED);
    const auto made = folder_names(out);
    const std::string frame = made.size() == 1 ? read_file(out + "/" + made.front()) : "";
    std::filesystem::remove_all(alone);
    std::filesystem::remove_all(out);
    return frame;
}

TEST(BatchWindows, EachFrameIsTheOneFrameOfItsWindowAloneWhateverTheThreads) {
    const scratch_folder work;
    const std::string in = work.make_folder("in");
    write_frames(in, WINDOW_INPUTS, 37, 23, true);
    write_png(in + "/" + input_name(5), pattern_image(37, 23, 5, false), false);
    for (const window_row& row : rows) {
        SCOPED_TRACE(std::to_string(row.layers) + " step " + std::to_string(row.step) + " " +
                     row.mode.front() + " " + row.mode.back());
        const std::string one = work.make_folder("one"), four = work.make_folder("four");
        ASSERT_EQ(run_render(args_of(row, {"-j", "1", in, one})).status, EXIT_RENDERED);
        ASSERT_EQ(run_render(args_of(row, {"-j", "4", in, four})).status, EXIT_RENDERED);
        const int frames = (WINDOW_INPUTS - row.layers) / (row.step ? row.step : row.layers) + 1;
        ASSERT_EQ(folder_names(one).size(), static_cast<std::size_t>(frames));
        EXPECT_EQ(printed_count(args_of(row, {in})), std::to_string(frames) + "\n");
        // The first frame is summed anew, the second slid to, the last ends the sequence.
        for (const int n : {1, std::min(2, frames), frames}) {
            char name[16];
            std::snprintf(name, sizeof name, "%02d.png", n);
            const std::string made = read_file(one + "/" + name);
            EXPECT_EQ(made, read_file(four + "/" + name)) << name << " differs on four threads";
            EXPECT_TRUE(made == window_alone(work, in, row, n)) << name;
        }
        if (!row.same_as.empty()) {
            const window_row other{row.layers, row.step, row.same_as};
            ASSERT_EQ(run_render(args_of(other, {in, four})).status, EXIT_RENDERED);
            for (const std::string& name : folder_names(one))
                EXPECT_EQ(read_file(one + "/" + name), read_file(four + "/" + name)) << name;
        }
        std::filesystem::remove_all(one);
        std::filesystem::remove_all(four);
    }
}

// Frames 1, 2 and 4 kept from an earlier run, each holding frame 3's bytes, and 3 missing.
TEST(BatchWindows, SkipExistingRendersTheFrameMissingFromAGapAlone) {
    const scratch_folder work;
    const std::string in = work.make_folder("in"), whole = work.make_folder("whole");
    write_frames(in, 4, 16, 8, true);
    ASSERT_EQ(run_render({"-q", "-l", "1", in, whole}).status, EXIT_RENDERED);
    const std::string third = read_file(whole + "/3.png"), out = work.make_folder("out");
    for (const char* kept : {"/1.png", "/2.png", "/4.png"})
        work.write("out" + std::string(kept), third);
    ASSERT_EQ(run_render({"-q", "-l", "1", "--skip-existing", in, out}).status, EXIT_RENDERED);
    EXPECT_EQ(folder_names(out), folder_names(whole));
    for (const std::string& name : folder_names(out))
        EXPECT_EQ(read_file(out + "/" + name), third) << name;
}

} // namespace
} // namespace korvel::test
