// The clip writer's encoders: every codec each container takes is written as ffprobe names it
// and read back close to the canvases, --crf reaches the encoder, pure colours survive a 1080p
// .mp4 tagged BT.709, and choices a container or the system cannot take are refused up front.
#include "tests/image/clip_tools.h"

#include "image/clip_reader.h"
#include "image/load_problem.h"

#include <gtest/gtest.h>

#include <iostream>
#include <tuple>

namespace korvel::test {
namespace {

constexpr int SIDE = 64, LOSSY = 8;
constexpr std::uint32_t BACKGROUND = 0x2050A0;
const clip_settings small{SIDE, SIDE, 24, 1, BACKGROUND, 1};

// Skips, saying so, what this system's FFmpeg cannot encode.
bool system_lacks(const clip_format* format, const clip_encoding& encoding) {
    const std::string refused = clip_encoding_problem(format, encoding);
    if (refused.find("has no") == std::string::npos) return false;
    std::cout << "skipped: " << refused << "\n";
    return true;
}

class ClipEncoders : public clip_test {};

TEST_F(ClipEncoders, EveryCodecIsWrittenAsFfprobeNamesItReadsBackAndTakesItsCrf) {
    if (!run_ffmpeg(folder, "-version >/dev/null")) GTEST_SKIP() << "no ffmpeg program";
    // Codecs with alpha give it back (depth 32), the others show the frames over the background.
    // Tags are told where the container carries them; NUT and Y4M do not.
    for (const auto& [leaf, codec, probed, depth, tolerance, tags] :
         {std::tuple{"h.mp4", "h264", "h264", 24, LOSSY, true},
          {"x.mp4", "hevc", "hevc", 24, LOSSY, true},
          {"a.mp4", "av1", "av1", 24, LOSSY, true},
          {"f.mkv", "ffv1", "ffv1", 32, 0, false},
          {"h.mkv", "h264", "h264", 24, LOSSY, true},
          {"x.mkv", "hevc", "hevc", 24, LOSSY, true},
          {"a.MKV", "av1", "av1", 24, LOSSY, true},
          {"p.mov", "png", "png", 32, 0, false},
          {"r.mov", "prores", "prores", 32, 1, true},
          {"h.mov", "h264", "h264", 24, LOSSY, true},
          {"x.mov", "hevc", "hevc", 24, LOSSY, true},
          {"v.webm", "vp9", "vp9", 32, LOSSY, true},
          {"a.webm", "av1", "av1", 24, LOSSY, true},
          {"r.nut", "rawvideo", "rawvideo", 32, 0, false},
          {"f.nut", "ffv1", "ffv1", 32, 0, false},
          {"r.y4m", "rawvideo", "rawvideo", 24, LOSSY, false}}) {
        SCOPED_TRACE(std::string(leaf) + " " + codec);
        const clip_format* format = clip_format_for(folder.name(leaf).c_str());
        clip_choices choices;
        choices.encoding.codec = codec;
        if (system_lacks(format, choices.encoding)) continue;
        ASSERT_EQ(write_frames(folder.name(leaf), format, small, choices, 3), "");
        EXPECT_EQ(probe(folder, leaf, "v:0", "stream=codec_name"),
                  std::vector<std::string>{probed});
        if (tags) {
            EXPECT_EQ(probe(folder, leaf, "v:0",
                            "stream=color_range,color_space,color_transfer,color_primaries"),
                      (std::vector<std::string>{"tv", "smpte170m", "smpte170m", "smpte170m"}));
        }
        clip_facts facts;
        clip_reader* reader = clip_reader_open(folder.name(leaf).c_str(), 1, &facts);
        EXPECT_EQ(std::tuple(facts.width, facts.height, facts.frames, facts.depth, facts.rate_num),
                  std::tuple(SIDE, SIDE, 3, depth, 24));
        for (int n = 1; n <= 3; ++n)
            EXPECT_LE(mean_distance(
                          clip_reader_next(reader),
                          [n](int x, int y) { return ramp_colour(x, y, n); }, BACKGROUND),
                      tolerance)
                << "frame " << n << " " << load_problem();
        clip_reader_close(reader);
        // --crf reaches the encoders that take it: at the best quality the clip grows.
        const std::size_t default_size = read_file(folder.path(leaf)).size();
        choices.encoding.crf = 1;
        if (*clip_encoding_problem(format, choices.encoding)) continue;
        ASSERT_EQ(write_frames(folder.name(leaf), format, small, choices, 3), "");
        EXPECT_GT(read_file(folder.path(leaf)).size(), default_size + 256);
    }
}

// Quarters of pure red, green, blue and grey, read back from the middle of each by ffmpeg, which
// converts in the matrix the clip is tagged with.
TEST_F(ClipEncoders, PureColoursComeBackFromA1080pMp4TaggedBt709) {
    if (!run_ffmpeg(folder, "-version >/dev/null")) GTEST_SKIP() << "no ffmpeg program";
    constexpr int width = 1920, height = 1080;
    constexpr std::uint32_t quarters[] = {0xFF0000, 0x00FF00, 0x0000FF, 0x808080};
    const auto quarter = [](int x, int y) { return (x >= width / 2) + 2 * (y >= height / 2); };
    const auto colour = [&](int x, int y, int) { return 0xFF000000u | quarters[quarter(x, y)]; };
    ASSERT_EQ(write_frames(folder.name("hd.mp4"), clip_format_for(u".mp4"),
                           {width, height, 25, 1, 0, 0}, {}, 1, colour),
              "");
    EXPECT_EQ(probe(folder, "hd.mp4", "v:0",
                    "stream=color_range,color_space,color_transfer,color_primaries"),
              (std::vector<std::string>{"tv", "bt709", "bt709", "bt709"}));
    const std::string rows =
        command_output(folder, "ffmpeg -v error -i hd.mp4 -f rawvideo -pix_fmt rgb24 -");
    ASSERT_EQ(rows.size(), std::size_t{width * height * 3});
    const auto decoded = raw_rgb_colour(rows, width);
    for (int q = 0; q < 4; ++q) {
        const std::uint32_t got =
            decoded(width / 4 + q % 2 * width / 2, height / 4 + q / 2 * height / 2);
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(int(got >> (8 * c) & 0xFF), int(quarters[q] >> (8 * c) & 0xFF), 3)
                << "quarter " << q << " channel " << c;
    }
}

TEST_F(ClipEncoders, ChoicesAContainerCannotTakeAreRefusedBeforeAnythingIsWritten) {
    for (const auto& [leaf, codec, crf, preset, refusal] :
         {std::tuple{"o.webm", "h264", -1, "", ".webm takes vp9 or av1"},
          {"o.mov", "ffv1", -1, "", ".mov takes png, prores, h264 or hevc"},
          {"o.mkv", "", 20, "", "ffv1 takes no --crf (--crf goes to h264, hevc, av1)"},
          {"o.mov", "prores", 20, "", "prores takes no --crf (--crf goes to h264, hevc)"},
          {"o.y4m", "", -1, "fast", "rawvideo takes no --preset"},
          {"o.mp4", "", 52, "", "libx264 takes --crf 0 to 51"},
          {"o.mp4", "hevc", -1, "warp",
           "libx265 takes --preset ultrafast, superfast, veryfast, faster, fast, medium, slow, "
           "slower, veryslow or placebo"},
          {"o.webm", "vp9", -1, "9", "libvpx-vp9 takes --preset -8 to 8"},
          {"o.mp4", "hevc", 28, "slow", ""},
          {"o.webm", "", 63, "-8", ""}}) {
        SCOPED_TRACE(leaf);
        const clip_format* format = clip_format_for(folder.name(leaf).c_str());
        const clip_encoding encoding{codec, crf, preset};
        if (system_lacks(format, encoding)) continue;
        EXPECT_EQ(std::string(clip_encoding_problem(format, encoding)), refusal);
        if (!*refusal) continue;
        const char* problem = "";
        clip_choices choices;
        choices.encoding = encoding;
        EXPECT_EQ(
            clip_writer_open_with(folder.name(leaf).c_str(), format, small, choices, &problem),
            nullptr);
        EXPECT_EQ(std::string(problem), refusal);
    }
    EXPECT_EQ(folder_names(folder.root()), std::vector<std::string>{});
    EXPECT_EQ(clip_pipe_format("mp4"), nullptr);
    const char* problem = "";
    EXPECT_EQ(clip_writer_open(u"-", clip_format_for(u"o.mp4"), small, &problem), nullptr);
    EXPECT_STREQ(problem, "mp4 cannot be written onto a pipe (mkv, mov, nut or y4m can)");
    EXPECT_EQ(std::string(clip_pipe_format_names()), "mkv, mov, nut or y4m");
}

} // namespace
} // namespace korvel::test
