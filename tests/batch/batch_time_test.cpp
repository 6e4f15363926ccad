// korvel-render blurring by time. On inputs at a constant rate R, --out-fps R/S with a shutter of
// 360 L / S degrees and the start phase exposes each frame to exactly the inputs of -l L --step S:
// the frames must be the same bytes, with and without a span, in stored colours and in linear
// light, from a folder and from a clip at its own rate. A clip output runs at --out-fps, --in-fps
// replaces a clip's rate, a clip of uneven rate is timed by the times its frames carry, and every
// mistake is refused: in one line with status 2 when the options
// do not go together, with status 1 when the inputs cannot make a frame. (Which inputs a frame
// weighs, and how much, is checked against the rule in the engine's tests.)
#include "batch/batch_render.h"
#include "tests/batch/render_process.h"
#include "tests/support/test_png.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace korvel::test {
namespace {

constexpr int TIMED_INPUTS = 13;

struct equivalence_row {
    int layers, step;
    const char* shutter; // 360 L / S, as a fraction or with decimals
    std::vector<std::string> both = {};
};

const equivalence_row equivalences[] = {
    {3, 2, "540"},
    {2, 4, "180"},
    {6, 1, "2160.000000", {"--linear"}},
    {3, 7, "1080/7"},
    {5, 3, "600", {"--frames", "2-3"}},
};

std::vector<std::string> joined(std::vector<std::string> args,
                                const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

TEST(BatchTime, ExposuresOfWholeInputsMakeTheFramesOfTheirWindows) {
    const scratch_folder work;
    const std::string in = work.make_folder("in");
    write_frames(in, TIMED_INPUTS, 17, 11, true);
    for (const equivalence_row& row : equivalences) {
        SCOPED_TRACE(std::to_string(row.layers) + " step " + std::to_string(row.step));
        const std::vector<std::string> timed =
            joined({"-q", "--out-fps", "25/" + std::to_string(row.step), "--shutter", row.shutter,
                    "--phase", "start"},
                   row.both);
        const std::vector<std::string> counted =
            joined({"-q", "-l", std::to_string(row.layers), "--step", std::to_string(row.step),
                    "--weights", "equal"},
                   row.both);
        const std::string by_time = work.make_folder("time"), by_count = work.make_folder("count");
        ASSERT_EQ(run_render(joined(timed, {in, by_time})).status, EXIT_RENDERED);
        ASSERT_EQ(run_render(joined(counted, {in, by_count})).status, EXIT_RENDERED);
        expect_same_files(by_time, by_count);
        EXPECT_EQ(printed_count(joined(timed, {in})), printed_count(joined(counted, {in})));
        std::filesystem::remove_all(by_time);
        std::filesystem::remove_all(by_count);
    }
}

struct refusal_row {
    std::vector<std::string> args; // "IN" and "OUT" stand for the folders
    const char* said;
    int status = EXIT_USAGE;
};

const refusal_row refusals[] = {
    {{"--out-fps", "60", "-l", "3"}, "-l/--layers counts inputs, and --out-fps blurs by time"},
    {{"--out-fps", "60", "--step", "2"}, "--step counts inputs"},
    {{"--out-fps", "60", "-r"}, "-r/--reverse orders a window"},
    {{"--out-fps", "60", "-a", "100"}, "-a/--alpha sets the fading stack"},
    {{"--out-fps", "60", "--weights", "ramp"}, "--weights wants equal or gauss[:SIGMA] with"},
    {{"--out-fps", "60", "--weights", "1,2,3"}, "not '1,2,3'"},
    {{"--out-fps", "60", "--weights", "gauss:0"}, "a SIGMA above 0 after 'gauss:'"},
    {{"--out-fps", "0"}, "--out-fps wants frames per second above 0 and up to 1000"},
    {{"--out-fps", "1000.5"}, "not '1000.5'"},
    {{"--out-fps", "60", "--in-fps", "1/0"}, "--in-fps wants frames per second"},
    {{"--out-fps", "60", "--shutter", "0"}, "--shutter wants degrees above 0 and up to 3600"},
    {{"--out-fps", "60", "--shutter", "3600.000001"}, "not '3600.000001'"},
    {{"--out-fps", "60", "--phase", "middle"}, "--phase wants start, center or end"},
    {{"--shutter", "180"}, "--shutter, --phase and --in-fps blur by time and need --out-fps"},
    {{"--phase", "end"}, "need --out-fps"},
    {{"--in-fps", "30"}, "need --out-fps"},
    {{"--out-fps", "1"}, "The inputs do not last as long as one exposure.", EXIT_RENDER_FAILED},
    {{"--out-fps", "1000", "--in-fps", "1/2147483647", "--shutter", "0.000001"},
     "The times of these frame rates and this shutter cannot be counted exactly.",
     EXIT_RENDER_FAILED},
};

TEST(BatchTime, OptionsThatDoNotGoTogetherAreRefusedInOneLine) {
    const scratch_folder work;
    const std::string in = work.make_folder("in"), out = work.make_folder("out");
    write_frames(in, 4, 8, 6, false);
    for (const refusal_row& row : refusals) {
        std::vector<std::string> args = joined(row.args, {in, out});
        const render_result made = run_render(args);
        SCOPED_TRACE(row.args[0] + " " + row.args[1] + ": " + made.err);
        EXPECT_EQ(made.status, row.status);
        EXPECT_TRUE(made.err.starts_with("korvel-render: "));
        EXPECT_NE(made.err.find(row.said), std::string::npos);
        EXPECT_EQ(std::count(made.err.begin(), made.err.end(), '\n'), 1);
        EXPECT_TRUE(folder_names(out).empty());
    }
}

// A clip of 25 frames at 25 per second: by its own rate 5 frames to each of 5 exposures at 5 fps
// with the start phase, by --in-fps 50 half a second long, which holds two frames centred on 0.2
// and 0.4 seconds.
TEST(BatchTime, AClipIsTimedByItsOwnRateOrByInFpsAndAClipOutputRunsAtOutFps) {
    if (!have_ffmpeg()) GTEST_SKIP() << "the ffmpeg program is not installed (./dev.sh deps)";
    const scratch_folder work;
    const std::string clip = work.path("in.mkv"), timed = work.make_folder("timed"),
                      counted = work.make_folder("counted"), out = work.path("out.mkv");
    ASSERT_EQ(std::system(("ffmpeg -v error -f lavfi -i testsrc=size=32x24:rate=25:duration=1 "
                           "-c:v ffv1 '" +
                           clip + "'")
                              .c_str()),
              0);
    ASSERT_EQ(run_render({"-q", "--out-fps", "5", "--phase", "start", clip, timed}).status,
              EXIT_RENDERED);
    ASSERT_EQ(run_render({"-q", "-l", "5", "--weights", "equal", clip, counted}).status,
              EXIT_RENDERED);
    expect_same_files(timed, counted);
    EXPECT_EQ(printed_count({"--out-fps", "5", "--in-fps", "50", clip}), "2\n");
    ASSERT_EQ(run_render({"-q", "--out-fps", "12.5", "--shutter", "90", clip, out}).status,
              EXIT_RENDERED);
    EXPECT_EQ(command_output("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                             "stream=r_frame_rate,nb_read_frames -of csv=p=0 '" +
                             out + "'"),
              "25/2,12\n");
}

// Clips whose frame k (from 0) is grey 40 k, shown at the milliseconds setpts gives it by its
// number N; the last lasts 50 ms, as its packet says. Blurred at 10 fps with the start phase,
// frame n is exposed over [100 n, 100 n + 100) ms, so its grey is the mean of the inputs' greys
// weighed by how long each shows in that span, whatever rate the clip says it has (20 fps). With
// B-frames, the packets come in another order than the pictures show.
struct timed_clip_row {
    const char* name;
    const char* setpts;
    const char* codec;
    std::vector<std::string> args;
    std::vector<int> times; // each input's start as the render should take it, then the end
    int passed_over;
};

const timed_clip_row timed_clips[] = {
    {"uneven times", "25*N*(N+1)", "ffv1", {}, {0, 50, 150, 300, 500, 750, 800}, 0},
    {"uneven times, with B-frames",
     "25*N*(N+1)",
     "mpeg4 -q:v 1 -bf 2",
     {},
     {0, 50, 150, 300, 500, 750, 800},
     0},
    {"times replaced by --in-fps",
     "25*N*(N+1)",
     "ffv1",
     {"--in-fps", "20"},
     {0, 50, 100, 150, 200, 250, 300},
     0},
    {"times out of --vf",
     "25*N*(N+1)",
     "ffv1",
     {"--vf", "setpts=PTS/2"},
     {0, 25, 75, 150, 250, 375, 500},
     0},
    {"a time repeated",
     "if(eq(N,2),50,25*N*(N+1))",
     "ffv1",
     {},
     {0, 50, 50, 300, 500, 750, 800},
     1},
};

// The grey of the frame exposed over [from, from + 100) ms: each input shows until the next
// later time, and one not later than the one before it shows for no time.
double grey_over(const std::vector<int>& times, int from) {
    double sum = 0;
    for (std::size_t k = 0; k + 1 < times.size(); ++k) {
        if (k > 0 && times[k] <= times[k - 1]) continue;
        const int until =
            *std::upper_bound(times.begin() + static_cast<long>(k), times.end() - 1, times[k]);
        sum += 40.0 * static_cast<double>(k) *
               std::max(0, std::min(until, from + 100) - std::max(times[k], from));
    }
    return sum / 100;
}

TEST(BatchTime, AClipOfUnevenRateIsTimedByTheTimesItsFramesCarry) {
    if (!have_ffmpeg()) GTEST_SKIP() << "the ffmpeg program is not installed (./dev.sh deps)";
    for (const timed_clip_row& row : timed_clips) {
        SCOPED_TRACE(row.name);
        const scratch_folder work;
        const std::string clip = work.path("in.mkv"), out = work.make_folder("out");
        ASSERT_EQ(std::system(("ffmpeg -v error -f lavfi -i \"color=black:s=16x16:r=10:d=0.6,"
                               "format=rgb24,geq=r=40*N:g=40*N:b=40*N,settb=1/1000,setpts='" +
                               std::string(row.setpts) + "'\" -fps_mode passthrough -c:v " +
                               row.codec + " '" + clip + "'")
                                  .c_str()),
                  0);
        const std::vector<std::string> args =
            joined({"--out-fps", "10", "--phase", "start"}, row.args);
        const render_result made = run_render(joined(args, {clip, out}));
        ASSERT_EQ(made.status, EXIT_RENDERED) << made.err;
        const std::size_t frames = static_cast<std::size_t>(row.times.back() / 100);
        EXPECT_EQ(printed_count(joined(args, {clip})), std::to_string(frames) + "\n");
        ASSERT_EQ(folder_names(out).size(), frames);
        for (std::size_t n = 0; n < frames; ++n) {
            const rgba_image made_frame = read_png_rgba(out + "/" + std::to_string(n + 1) + ".png");
            ASSERT_GT(made_frame.width, 0);
            EXPECT_NEAR(made_frame.at(3, 3)[1], grey_over(row.times, static_cast<int>(n) * 100), 1)
                << "frame " << n + 1;
        }
        const bool said = made.err.find("passed over " + std::to_string(row.passed_over) +
                                        " input frames") != std::string::npos;
        EXPECT_EQ(said, row.passed_over > 0) << made.err;
        // The frames are counted before any is decoded, so those saved already are left out.
        work.write("out/1.png", "kept");
        ASSERT_EQ(run_render(joined(args, {"-q", "--skip-existing", clip, out})).status,
                  EXIT_RENDERED);
        EXPECT_EQ(read_file(out + "/1.png"), "kept");
    }
}

} // namespace
} // namespace korvel::test
