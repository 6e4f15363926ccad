// Clips stored turned: the reader gives their pictures upright as the ffmpeg program shows them,
// and as stored when asked to keep them so. Turns are made by ffmpeg's own rotation tag, flips
// and a transposition by writing the display matrix into the track header of a copy.
#include "tests/image/clip_tools.h"

#include "image/clip_reader.h"
#include "image/load_problem.h"

#include <gtest/gtest.h>

#include <tuple>

namespace korvel::test {
namespace {

constexpr int STORED_WIDTH = 24, STORED_HEIGHT = 16;

std::string big_endian(std::initializer_list<std::int32_t> numbers) {
    std::string bytes;
    for (const std::int32_t n : numbers)
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes += char(std::uint32_t(n) >> shift);
    return bytes;
}

// The stored clip with the track header's matrix (the last of the file's two identity matrices,
// after the movie header's) set to a, b, c, d.
bytes with_matrix(const bytes& clip, int a, int b, int c, int d) {
    constexpr std::int32_t one = 1 << 16, w = 1 << 30;
    const std::string identity = big_endian({one, 0, 0, 0, one, 0, 0, 0, w});
    bytes turned = clip;
    const std::size_t at = turned.rfind(identity);
    if (at != std::string::npos)
        turned.replace(at, identity.size(),
                       big_endian({a * one, b * one, 0, c * one, d * one, 0, 0, 0, w}));
    return turned;
}

class ClipOrientation : public clip_test {};

TEST_F(ClipOrientation, TurnedClipsReadUprightAsFfmpegShowsThemOrAsStoredWhenKept) {
    if (!run_ffmpeg(folder, "-f lavfi -i testsrc=s=24x16:r=5:d=0.4 -c:v png stored.mov"))
        GTEST_SKIP() << "no ffmpeg program";
    const bytes stored = read_file(folder.path("stored.mov"));
    for (const auto& [leaf, rotate, a, b, c, d, sideways] :
         {std::tuple{"r90.mov", 90, 0, 0, 0, 0, true},
          {"r180.mov", 180, 0, 0, 0, 0, false},
          {"r270.mov", 270, 0, 0, 0, 0, true},
          {"hflip.mov", 0, -1, 0, 0, 1, false},
          {"vflip.mov", 0, 1, 0, 0, -1, false},
          {"transposed.mov", 0, 0, 1, 1, 0, true}}) {
        SCOPED_TRACE(leaf);
        if (rotate)
            ASSERT_TRUE(run_ffmpeg(folder, "-i stored.mov -c copy -metadata:s:v:0 rotate=" +
                                               std::to_string(rotate) + " " + leaf));
        else
            folder.write(leaf, with_matrix(stored, a, b, c, d));
        for (const bool keep : {false, true}) {
            const std::string shown = command_output(
                folder, std::string("ffmpeg -v error ") + (keep ? "-noautorotate " : "") + "-i " +
                            leaf + " -f rawvideo -pix_fmt rgb24 -");
            const bool swapped = sideways && !keep;
            const int width = swapped ? STORED_HEIGHT : STORED_WIDTH;
            clip_read_options options;
            options.keep_orientation = keep;
            clip_facts facts;
            clip_reader* reader = clip_reader_open_with(folder.name(leaf).c_str(), options, &facts);
            EXPECT_EQ(std::tuple(facts.width, facts.height, facts.turned),
                      std::tuple(width, swapped ? STORED_WIDTH : STORED_HEIGHT, int(!keep)));
            for (int frame = 0; frame < 2; ++frame) {
                const std::string rows = shown.substr(frame * STORED_WIDTH * STORED_HEIGHT * 3,
                                                      STORED_WIDTH * STORED_HEIGHT * 3);
                EXPECT_EQ(mean_distance(clip_reader_next(reader), raw_rgb_colour(rows, width)), 0)
                    << "kept " << keep << ", frame " << frame << " " << load_problem();
            }
            clip_reader_close(reader);
        }
    }
}

} // namespace
} // namespace korvel::test
