// korvel-render makes the window's frames: the same selection, order, names and bytes as the
// render job driven like the window, pixels equal to an independent composite, and the same
// bytes whatever the number of threads.
#include "reference_composite.h"
#include "render_process.h"
#include "test_pictures.h"
#include "window_like_host.h"
#include "work_folder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace korvel::test {
namespace {

constexpr std::int32_t width = 40;
constexpr std::int32_t height = 30;

// Eleven RGBA frames, one RGB frame whose upper-case extension still matches "*.png" and sorts
// first, and a file that is no frame: 12 inputs, so names are two digits wide.
void write_mixed_inputs(const std::string& in) {
    write_frames(in, 11, width, height, 4);
    write_png(in + "/extra.PNG", pattern_picture(width, height, 3, 99));
    std::ofstream(in + "/notes.txt") << "not a frame";
}

// The inputs in listing order (names compared after upper-casing).
std::vector<picture> mixed_inputs_in_order() {
    std::vector<picture> inputs{pattern_picture(width, height, 3, 99)};
    for (std::uint32_t i = 1; i <= 11; ++i)
        inputs.push_back(pattern_picture(width, height, 4, i));
    return inputs;
}

class BatchMatchesWindow : public ::testing::TestWithParam<bool> {};

TEST_P(BatchMatchesWindow, SameFileNamesAndBytesAsTheWindowsRenderOfTheSameFolder) {
    const bool reverse = GetParam();
    const work_folder work;
    const std::string in = work.make_folder("in");
    write_mixed_inputs(in);
    const std::string batch_out = work.make_folder("batch");
    const std::string window_out = work.make_folder("window");

    std::vector<std::string> args{"-l", "3", "-a", "200", in, batch_out};
    if (reverse) args.insert(args.begin(), "--reverse");
    const render_run batch = run_render(args);
    ASSERT_EQ(batch.status, 0) << batch.err;

    window_like_render window;
    window.input_folder = in + "/";
    window.output_folder = window_out + "/";
    window.layers = 3;
    window.alpha = 200;
    window.reverse = reverse;
    window.image_count = 12;
    window.width = width;
    window.height = height;
    render_like_window(window);
    ASSERT_TRUE(window.completed);
    ASSERT_TRUE(window.failures.empty()) << window.failures.front();

    const folder_contents frames = read_folder(batch_out);
    EXPECT_EQ(frames, read_folder(window_out));
    std::vector<std::string> names;
    for (const auto& [name, bytes] : frames)
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"01.png", "02.png", "03.png", "04.png"}));
}

INSTANTIATE_TEST_SUITE_P(ForwardAndReverse, BatchMatchesWindow, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Reverse" : "Forward"; });

TEST(BatchFrames, DecodeToTheCompositeOfEachGroupInItsOrder) {
    const work_folder work;
    const std::string in = work.make_folder("in");
    write_mixed_inputs(in);
    const std::string out = work.make_folder("out");
    for (const bool reverse : {false, true}) {
        std::vector<std::string> args{"-q", "-l", "3", "-a", "200", in, out};
        if (reverse) args.insert(args.begin(), "-r");
        const render_run run = run_render(args);
        ASSERT_EQ(run.status, 0) << run.err;
        const std::vector<picture> inputs = mixed_inputs_in_order();
        for (std::size_t frame = 0; frame < 4; ++frame) {
            std::vector<const picture*> group;
            for (std::size_t i = 0; i < 3; ++i)
                group.push_back(&inputs[frame * 3 + (reverse ? 2 - i : i)]);
            const picture expected = reference_composite(group, 200);
            const picture made = read_png_rgba(out + "/0" + std::to_string(frame + 1) + ".png");
            EXPECT_EQ(made.width, width);
            EXPECT_TRUE(made.rgba == expected.rgba)
                << "frame " << frame + 1 << (reverse ? " reversed" : " forward");
        }
    }
}

TEST(BatchFrames, AreByteIdenticalForOneTwoAndFourThreads) {
    const work_folder work;
    const std::string in = work.make_folder("in");
    // Large enough for the engine to split rows and to save several frames at once.
    write_frames(in, 9, 640, 360, 4);
    write_png(in + "/frame010.png", pattern_picture(640, 360, 3, 10));
    folder_contents first;
    for (const char* threads : {"1", "2", "4"}) {
        const std::string out = work.make_folder(std::string("out") + threads);
        const render_run run = run_render({"-q", "-l", "2", "-j", threads, in, out});
        ASSERT_EQ(run.status, 0) << run.err;
        const folder_contents frames = read_folder(out);
        EXPECT_EQ(frames.size(), 5u);
        if (first.empty())
            first = frames;
        else
            EXPECT_TRUE(frames == first) << "-j " << threads << " differs from -j 1";
    }
}

} // namespace
} // namespace korvel::test
