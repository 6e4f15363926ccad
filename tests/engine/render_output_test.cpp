// Whole render jobs through a test host: every frame must be, byte for byte, the composite of its
// batch computed here from the input pictures, whatever the thread count, the order, changes of
// the inputs during the job, or files rewritten after they may have been decoded ahead.
#include "engine/render_stats.h"
#include "tests/engine/engine_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace korvel::test {
namespace {

// Large enough for the compositing of a layer to be split by rows.
constexpr std::int32_t wide = 640;
constexpr std::int32_t high = 420;
constexpr int inputs_count = 12;

struct frame_recipe {
    std::vector<int> layers; // input indices in drawing order
    std::int64_t ramp;       // the L the frame's opacities were computed with
};

std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<std::string> frame_names(std::size_t count) {
    std::vector<std::string> names;
    for (std::size_t i = 1; i <= count; ++i)
        names.push_back(frame_name(static_cast<int>(i), inputs_count));
    return names;
}

// The output folder holds exactly the frames, each the composite of its recipe.
void expect_frames(const scratch_dir& out, const std::vector<picture>& inputs,
                   const std::vector<frame_recipe>& recipes, std::int64_t alpha_levels) {
    EXPECT_EQ(out.names(), frame_names(recipes.size()));
    for (std::size_t i = 0; i < recipes.size(); ++i) {
        std::vector<const picture*> layers;
        for (int index : recipes[i].layers)
            layers.push_back(&inputs[static_cast<std::size_t>(index)]);
        const picture expected = expected_frame(layers, wide, high, alpha_levels, recipes[i].ramp);
        const picture saved = read_rgba_png(out.path() + frame_names(recipes.size())[i]);
        ASSERT_EQ(saved.width, wide) << "frame " << i + 1;
        EXPECT_TRUE(saved.samples == expected.samples) << "frame " << i + 1;
    }
}

class render_output : public ::testing::Test {
protected:
    void SetUp() override {
        engine_runtime_start();
        inputs = write_inputs(in, inputs_count, wide, high);
        // A layer smaller and one larger than the canvas: both are cut to it at (0, 0).
        replace_input(4, test_picture(300, 200, true, 99));
        replace_input(6, test_picture(700, 450, false, 77));
    }

    // Writes the picture beside the input and renames it over it, as a tool that rewrites
    // frames safely would: the file gets a new identity.
    void replace_input(int index, picture replacement) {
        const std::string fresh = in.path() + "fresh.tmp";
        ASSERT_TRUE(write_png(fresh, replacement));
        std::filesystem::rename(fresh, in.path() + input_name(index));
        inputs[static_cast<std::size_t>(index)] = std::move(replacement);
    }

    scratch_dir in;
    scratch_dir out;
    std::vector<picture> inputs;
};

TEST_F(render_output, frames_are_the_same_bytes_on_one_two_and_four_threads) {
    std::vector<std::string> first_run;
    for (int threads : {1, 2, 4}) {
        scratch_dir run_out;
        test_host host(in, run_out, inputs_count, wide, high);
        host.alpha_levels = 200;
        std::vector<std::string> present_at_end;
        host.at_job_end = [&] { present_at_end = run_out.names(); };
        run_with_threads(host, threads);

        EXPECT_EQ(host.completed, 1);
        EXPECT_TRUE(host.failures.empty());
        EXPECT_EQ(host.frames_saved, (std::vector<std::int32_t>{1, 2, 3}));
        EXPECT_EQ(present_at_end, frame_names(3)) << "the job ended before its frames were saved";
        expect_frames(run_out, inputs, {{{0, 1, 2, 3}, 4}, {{4, 5, 6, 7}, 4}, {{8, 9, 10, 11}, 4}},
                      200);
        std::vector<std::string> bytes;
        for (const std::string& name : frame_names(3))
            bytes.push_back(file_bytes(run_out.path() + name));
        if (first_run.empty()) first_run = bytes;
        EXPECT_TRUE(bytes == first_run) << threads << " threads";
    }
}

// L read anew for every frame, "Rev." for every frame's start: batches follow the enumeration
// from where it stands, reversed frames start from their batch's last entry, and past the end of
// the enumeration its last entry repeats.
TEST_F(render_output, inputs_changed_between_frames_take_effect_from_the_next_frame) {
    test_host host(in, out, inputs_count, wide, high);
    host.after_frame_saved = [&host](int frame) {
        if (frame == 1) host.layers = 3;
        if (frame == 2) host.reverse = true;
    };
    run_with_threads(host, 2);
    EXPECT_EQ(host.completed, 1);
    expect_frames(out, inputs,
                  {{{0, 1, 2, 3}, 4}, {{4, 5, 6}, 3}, {{9, 8, 7}, 3}, {{11, 11, 10}, 3}}, 255);
}

// Checks 1 to 9 belong to frame 1 (4 entries, 4 layers, its end); check 15 follows frame 2's
// second layer. From there L = 2: frame 2 ends after two layers at the opacities of L = 4, and
// later frames start after the 4 entries frame 2 took.
TEST_F(render_output, layers_per_frame_lowered_inside_a_frame_cuts_that_frame_short) {
    test_host host(in, out, inputs_count, wide, high);
    host.cancel_at = [&host](int check) {
        if (check == 15) host.layers = 2;
        return false;
    };
    run_with_threads(host, 2);
    EXPECT_EQ(host.completed, 1);
    expect_frames(
        out, inputs,
        {{{0, 1, 2, 3}, 4}, {{4, 5}, 4}, {{8, 9}, 2}, {{10, 11}, 2}, {{11, 11}, 2}, {{11, 11}, 2}},
        255);
}

TEST_F(render_output, a_file_rewritten_after_it_may_have_been_decoded_ahead_gives_its_new_content) {
    test_host host(in, out, inputs_count, wide, high);
    host.after_frame_saved = [this](int frame) {
        if (frame != 1) return;
        for (int index = 4; index < 8; ++index)
            replace_input(index,
                          test_picture(wide, high, true, static_cast<std::uint32_t>(500 + index)));
    };
    run_with_threads(host, 2);
    EXPECT_EQ(host.completed, 1);
    expect_frames(out, inputs, {{{0, 1, 2, 3}, 4}, {{4, 5, 6, 7}, 4}, {{8, 9, 10, 11}, 4}}, 255);
}

TEST_F(render_output, timing_counters_grow_with_every_stage_and_count_the_frames) {
    const render_stats before = render_stats_snapshot();
    test_host host(in, out, inputs_count, wide, high);
    run_with_threads(host, 2);
    const render_stats after = render_stats_snapshot();
    EXPECT_EQ(after.frames - before.frames, 3);
    EXPECT_GT(after.decode_ns, before.decode_ns);
    EXPECT_GT(after.composite_ns, before.composite_ns);
    EXPECT_GT(after.encode_ns, before.encode_ns);
}

} // namespace
} // namespace korvel::test
