// How a job ends when it cannot go on: a frame that cannot be saved, a layer that cannot be
// loaded, a confirmed cancel. Each way, the frames before are complete when the host hears of the
// end, nothing after the point of failure appears, and no temporary file is left.
#include "tests/engine/engine_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace korvel::test {
namespace {

constexpr int inputs_count = 12;
constexpr std::int32_t wide = 160;
constexpr std::int32_t high = 120;

class render_ending : public ::testing::Test {
protected:
    void SetUp() override { inputs = write_inputs(in, inputs_count, wide, high); }

    // Frames 1 to count hold the composites of their batches of two (L = 2, forward).
    void expect_first_frames(const scratch_dir& folder, int count) {
        for (int frame = 1; frame <= count; ++frame) {
            const std::vector<const picture*> layers{&inputs[2 * frame - 2],
                                                     &inputs[2 * frame - 1]};
            const picture saved = read_rgba_png(folder.path() + frame_name(frame, inputs_count));
            EXPECT_TRUE(saved.samples == expected_frame(layers, wide, high, 255, 2).samples)
                << "frame " << frame;
        }
    }

    std::vector<std::string> frames_up_to(int count) const {
        std::vector<std::string> names;
        for (int frame = 1; frame <= count; ++frame)
            names.push_back(frame_name(frame, inputs_count));
        return names;
    }

    scratch_dir in;
    scratch_dir out;
    std::vector<picture> inputs;
};

// The third frame's name is taken by a folder, so renaming its finished file onto it fails. With
// four threads frames 4 to 6 are handed over before that is known: they must not appear either.
TEST_F(render_ending, a_frame_that_cannot_be_saved_ends_the_job_after_the_frames_before_it) {
    for (int threads : {1, 4}) {
        scratch_dir run_out;
        std::filesystem::create_directory(run_out.path() + frame_name(3, inputs_count));
        test_host host(in, run_out, inputs_count, wide, high);
        host.layers = 2;
        run_with_threads(host, threads);

        EXPECT_EQ(host.completed, 0);
        ASSERT_EQ(host.failures.size(), 1u) << threads << " threads";
        EXPECT_EQ(host.failures[0].first, u"Error!");
        EXPECT_EQ(host.failures[0].second, u"Unable to save, " + run_out.text() + u"03.png");
        EXPECT_EQ(run_out.names(), frames_up_to(3)) << threads << " threads";
        expect_first_frames(run_out, 2);
    }
}

TEST_F(render_ending, a_layer_that_cannot_be_loaded_ends_the_job_after_the_frames_before_it) {
    std::ofstream(in.path() + input_name(6), std::ios::binary) << "not a picture";
    test_host host(in, out, inputs_count, wide, high);
    host.layers = 2;
    run_with_threads(host, 4);

    EXPECT_EQ(host.completed, 0);
    ASSERT_EQ(host.failures.size(), 1u);
    EXPECT_EQ(host.failures[0].first, u"Error Loading Image!");
    EXPECT_EQ(host.failures[0].second, u"Unable to load, " + in.text() + u"in006.png");
    EXPECT_EQ(out.names(), frames_up_to(3));
    expect_first_frames(out, 3);
}

// Checks 1 to 5 belong to frame 1 (2 entries, 2 layers, its end): check 10 ends frame 2.
TEST_F(render_ending, a_confirmed_cancel_ends_the_job_once_the_frames_handed_over_are_saved) {
    test_host host(in, out, inputs_count, wide, high);
    host.layers = 2;
    host.cancel_at = [](int check) { return check == 10; };
    std::vector<std::string> present_at_end;
    host.at_job_end = [&] { present_at_end = out.names(); };
    run_with_threads(host, 4);

    EXPECT_EQ(host.completed, 0);
    EXPECT_TRUE(host.failures.empty());
    EXPECT_EQ(host.frames_saved, (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(present_at_end, frames_up_to(2));
    expect_first_frames(out, 2);
}

} // namespace
} // namespace korvel::test
