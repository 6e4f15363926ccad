// Clips on pipes: streams that the ffmpeg program writes to standard input are read as they come,
// of unknown length, each frame with its time; clips written to standard output in each pipe
// container are whole to ffprobe, and a reader that goes away early is a failure with a cause,
// not the end of the process.
#include "tests/image/clip_tools.h"

#include "image/clip_reader.h"
#include "image/load_problem.h"

#include <gtest/gtest.h>

#include <tuple>

namespace korvel::test {
namespace {

// Smooth, so that 4:2:0 chroma costs little (within 8 as elsewhere); different in every frame.
constexpr const char* PATTERN = "-f lavfi -i nullsrc=s=32x24:r=5:d=1 "
                                "-vf \"format=rgb24,geq=r='X*7':g='Y*9+N*20':b='(X+Y)*3'\"";
constexpr int PATTERN_FRAMES = 5, PATTERN_RATE = 5;

class ClipPipes : public clip_test {};

TEST_F(ClipPipes, StreamsOnStandardInputAreReadAsTheyComeWithTheirTimes) {
    if (!run_ffmpeg(folder, std::string(PATTERN) + " -f rawvideo -pix_fmt rgb24 pattern.rgb"))
        GTEST_SKIP() << "no ffmpeg program";
    const bytes pattern = read_file(folder.path("pattern.rgb"));
    const std::size_t frame_bytes = pattern.size() / PATTERN_FRAMES;
    for (const auto& [muxing, tolerance] : {std::pair{"-c:v rawvideo -f nut", 0.0},
                                            {"-pix_fmt yuv420p -f yuv4mpegpipe", 8.0},
                                            {"-c:v ffv1 -pix_fmt bgr0 -f matroska", 0.0}}) {
        SCOPED_TRACE(muxing);
        with_pipe(0, "ffmpeg -v error " + std::string(PATTERN) + " " + muxing + " -", [&] {
            clip_facts facts;
            clip_reader* reader = clip_reader_open(u"-", 1, &facts);
            ASSERT_NE(reader, nullptr) << load_problem();
            EXPECT_EQ(facts.frames, CLIP_FRAMES_UNKNOWN);
            for (int k = 0; k < PATTERN_FRAMES; ++k) {
                std::int64_t time = -1;
                const std::string rows = pattern.substr(k * frame_bytes, frame_bytes);
                EXPECT_LE(
                    mean_distance(clip_reader_next_timed(reader, &time), raw_rgb_colour(rows, 32)),
                    tolerance);
                EXPECT_EQ(time * facts.time_num * PATTERN_RATE, std::int64_t{k} * facts.time_den);
            }
            EXPECT_EQ(clip_reader_next(reader), 0u);
            EXPECT_STREQ(load_problem(), "");
            clip_reader_close(reader);
        });
    }
}

TEST_F(ClipPipes, ClipsOnStandardOutputAreWholeOrFailWhenTheirReaderStopsEarly) {
    if (!run_ffmpeg(folder, "-version >/dev/null")) GTEST_SKIP() << "no ffmpeg program";
    const std::string count = "ffprobe -v error -count_frames -show_entries "
                              "stream=codec_name,nb_read_frames -of csv=p=0 - >probed";
    for (const auto& [name, reader, frames, problem, probed] :
         {std::tuple{"nut", count, 4, "", "rawvideo,4\n"},
          {"y4m", count, 4, "", "rawvideo,4\n"},
          {"mkv", count, 4, "", "ffv1,4\n"},
          {"mov", count, 4, "", "png,4\n"},
          {"nut", std::string("head -c 1000 >probed"), 40,
           "the reader of standard output stopped reading (Broken pipe)", ""}}) {
        SCOPED_TRACE(reader);
        std::string written;
        with_pipe(1, "cd '" + folder.root() + "' && " + reader, [&] {
            written = write_frames(u"-", clip_pipe_format(name), {64, 64, 25, 1, 0, 1}, {}, frames);
        });
        EXPECT_EQ(written, problem);
        if (*probed) {
            EXPECT_EQ(read_file(folder.path("probed")), probed);
        }
    }
}

} // namespace
} // namespace korvel::test
