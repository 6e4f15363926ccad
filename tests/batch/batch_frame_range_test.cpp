// --frames: ranges of output frames, numbered and named as in a full run, so that a long sequence
// can be split over several runs (or machines) and put back together file for file.
#include "render_process.h"
#include "test_pictures.h"
#include "work_folder.h"

#include <gtest/gtest.h>

namespace korvel::test {
namespace {

class BatchFrameRanges : public ::testing::Test {
protected:
    void SetUp() override {
        in_ = work_.make_folder("in");
        // 15 inputs, 2 layers per frame: 7 frames; the last input is left over.
        write_frames(in_, 14, 48, 32, 4);
        write_png(in_ + "/frame015.png", pattern_picture(48, 32, 3, 15));
        const std::string full = work_.make_folder("full");
        const render_run run = run_render({"-q", "-l", "2", "-r", in_, full});
        ASSERT_EQ(run.status, 0) << run.err;
        full_ = read_folder(full);
        ASSERT_EQ(full_.size(), 7u);
    }

    // Renders range into the folder leaf (created when missing); the run's result.
    render_run render_range(const std::string& range, const std::string& leaf) {
        return run_render({"-l", "2", "-r", "--frames", range, in_, work_.make_folder(leaf)});
    }

    // The frames of the full run from first to last.
    folder_contents full_frames(int first, int last) const {
        folder_contents part;
        for (int frame = first; frame <= last; ++frame) {
            const std::string name = "0" + std::to_string(frame) + ".png";
            part[name] = full_.at(name);
        }
        return part;
    }

    work_folder work_;
    std::string in_;
    folder_contents full_;
};

TEST_F(BatchFrameRanges, TwoRangesTogetherGiveExactlyTheFilesOfOneFullRun) {
    // Each range on a machine of its own: each makes only its frames, and the two sets of files
    // put together are the full run's.
    ASSERT_EQ(render_range("1-3", "first_machine").status, 0);
    ASSERT_EQ(render_range("4-", "second_machine").status, 0);
    const folder_contents first = read_folder(work_.path("first_machine"));
    const folder_contents second = read_folder(work_.path("second_machine"));
    EXPECT_EQ(first, full_frames(1, 3));
    EXPECT_EQ(second, full_frames(4, 7));
    folder_contents together = first;
    together.insert(second.begin(), second.end());
    EXPECT_EQ(together, full_);
}

TEST_F(BatchFrameRanges, ASingleFrameAndARangeRunningPastTheEnd) {
    ASSERT_EQ(render_range("5", "single").status, 0);
    EXPECT_EQ(read_folder(work_.path("single")), full_frames(5, 5));
    ASSERT_EQ(render_range("6-100", "tail").status, 0);
    EXPECT_EQ(read_folder(work_.path("tail")), full_frames(6, 7));
}

TEST_F(BatchFrameRanges, ARangeBeyondTheSequenceRendersNothingAndSaysSo) {
    const render_run run = render_range("8-", "beyond");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "korvel-render: no frame to render: the sequence has 7 frames\n");
    EXPECT_TRUE(read_folder(work_.path("beyond")).empty());
}

TEST_F(BatchFrameRanges, ProgressCountsTheFramesOfTheRange) {
    const render_run run = render_range("2-4", "counted");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string out = work_.path("counted");
    for (int frame = 2; frame <= 4; ++frame) {
        const std::string line =
            "frame " + std::to_string(frame) + " rendered: " + out + "/0" + std::to_string(frame);
        EXPECT_NE(run.err.find(line), std::string::npos) << run.err;
    }
    EXPECT_NE(run.err.find(".png (3/3)\n"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("(4/"), std::string::npos) << run.err;
}

} // namespace
} // namespace korvel::test
