// Clips through FFmpeg: what the ffmpeg program makes of PNG frames reads as the PNG files load;
// files that give no frames say why, and clips not written or not finished leave no file behind.
#include "tests/image/clip_tools.h"
#include "tests/image/image_files.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/test_png.h"

#include "image/clip_reader.h"
#include "image/clip_writer.h"
#include "image/codec.h"
#include "image/load_problem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <tuple>

namespace korvel::test {
namespace {

constexpr int FRAMES = 3;
// Mean difference of the bytes of pictures that went through 4:2:0 YUV: about 3 at the steep ramps
// and the thirds' edges even without loss, 15 or more for a flipped, swapped or misplaced frame.
constexpr double YUV_TOLERANCE = 8;

// Ramps unlike in every frame, across thirds transparent, half-transparent and opaque.
rgba_image ramp_picture(int width, int height, int frame) {
    rgba_image picture = blank_image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int rgba[] = {40 + 60 * frame + x + y, y * 255 / (height - 1),
                                x * 255 / (width - 1), x * 3 / width * 255 / 2};
            std::copy(std::begin(rgba), std::end(rgba), picture.at(x, y));
        }
    return picture;
}

// The pixel memory of a bitmap made elsewhere, which is freed.
bytes taken_bytes(image_handle_t handle) {
    const bitmap* b = bitmap_get(handle);
    const std::size_t size = b ? std::size_t(b->stride) * b->height : 0;
    const bytes taken = b ? bytes(reinterpret_cast<const char*>(b->pixels), size) : "";
    bitmap_delete(handle);
    return taken;
}

// Mean difference of the bytes of the pixel memory of two bitmaps; 255 when their sizes differ.
double mean_difference(const bytes& a, const bytes& b) {
    if (a.size() != b.size()) return 255;
    const auto difference = [](char x, char y) {
        return std::abs(int(std::uint8_t(x)) - std::uint8_t(y));
    };
    return std::inner_product(a.begin(), a.end(), b.begin(), 0.0, std::plus<>(), difference) /
           a.size();
}

// Every frame the reader gives; load_problem() then says why it stopped ("" after the last).
std::vector<bytes> read_clip(const std::u16string& name, clip_facts* facts, bool timed = false,
                             const char* filter = "") {
    std::vector<bytes> frames;
    clip_read_options options;
    options.keep_times = timed;
    options.filter = filter;
    clip_reader* reader = clip_reader_open_with(name.c_str(), options, facts);
    while (const image_handle_t frame = clip_reader_next(reader))
        frames.push_back(taken_bytes(frame));
    clip_reader_close(reader);
    return frames;
}

// The clip's facts are those of the pictures, FRAMES and the rate, and its frames the pixel memory
// wanted within tolerance.
void expect_clip(const std::u16string& name, int width, int height, int depth, int rate,
                 const std::vector<bytes>& wanted, double tolerance) {
    clip_facts f;
    const std::vector<bytes> frames = read_clip(name, &f);
    EXPECT_EQ(std::tuple(f.width, f.height, f.frames, f.depth, f.rate_num, f.rate_den),
              std::tuple(width, height, FRAMES, depth, rate, 1));
    ASSERT_EQ(frames.size(), wanted.size()) << load_problem();
    for (std::size_t i = 0; i < wanted.size(); ++i)
        EXPECT_LE(mean_difference(frames[i], wanted[i]), tolerance) << "frame " << i;
}

class ClipCodecs : public clip_test {};

// PNG files of colour type 2 (RGB) and 6 (RGBA) hold ramps, of type 0 (grey) and 4 (grey and
// alpha) the samples image_files makes.
TEST_F(ClipCodecs, ReadsWhatFfmpegMadeOfPngFramesAsThePngFilesLoad) {
    if (!run_ffmpeg(folder, "-version >/dev/null")) GTEST_SKIP() << "no ffmpeg program";
    for (const auto& [colour_type, leaf, encoding, tolerance] :
         {std::tuple{6, "bgra.mkv", "-c:v ffv1 -pix_fmt bgra", 0.0},
          {2, "rgb.mkv", "-c:v ffv1", 0.0},
          {6, "rgba.mov", "-c:v png", 0.0},
          {2, "rgb.mov", "-c:v png", 0.0},
          {2, "planar.nut", "-c:v rawvideo -pix_fmt gbrp", 0.0},
          {0, "grey.mkv", "-c:v ffv1", 0.0},
          {4, "grey-alpha.mov", "-c:v png", 0.0},
          {6, "yuva.mkv", "-c:v ffv1 -pix_fmt yuva420p", YUV_TOLERANCE}}) {
        SCOPED_TRACE(leaf);
        std::vector<bytes> loaded;
        for (int i = 0; i < FRAMES; ++i) {
            const std::string png = "f" + std::to_string(i) + ".png";
            if (colour_type & 2)
                write_png(folder.path(png), ramp_picture(37, 23, i), colour_type & 4);
            else
                folder.write(png, png_file(png_picture(37, 23, colour_type, 8)));
            std::int32_t source_depth = 0;
            loaded.push_back(taken_bytes(bitmap_load(folder.name(png).c_str(), &source_depth)));
        }
        ASSERT_TRUE(
            run_ffmpeg(folder, "-framerate 12 -i f%d.png " + std::string(encoding) + " " + leaf));
        expect_clip(folder.name(leaf), 37, 23, colour_type & 4 ? 32 : 24, 12, loaded, tolerance);
    }
}

TEST_F(ClipCodecs, ReaderSaysWhyAFileGivesNoFrames) {
    if (!run_ffmpeg(folder, "-version >/dev/null")) GTEST_SKIP() << "no ffmpeg program";
    folder.write("notes.txt", "plain words, no picture\n");
    ASSERT_TRUE(run_ffmpeg(folder, "-f lavfi -i sine=duration=0.2 sound.mka"));
    ASSERT_EQ(write_frames(folder.name("whole.mkv"), clip_format_for(u".mkv"),
                           {37, 23, 24, 1, 0, 0}, {}, FRAMES),
              "");
    const bytes whole = read_file(folder.path("whole.mkv"));
    folder.write("cut.mkv", whole.substr(0, whole.size() / 2));
    // Long enough that the demuxer drops the packet it meets cut, and only logs that it did.
    ASSERT_TRUE(run_ffmpeg(folder, "-f lavfi -i testsrc=s=64x48:d=2 -c:v ffv1 long.mkv"));
    folder.write("late.mkv", read_file(folder.path("long.mkv")).substr(0, 20000));
    // Wider than a bitmap can be: refused from the header, before any pixel memory is taken.
    folder.write("wide.y4m", "YUV4MPEG2 W40000 H16 F25:1 C420jpeg\nFRAME\n");
    for (const auto& [leaf, filter, cause] :
         {std::tuple{"missing.mkv", "", "No such file or directory"},
          {"notes.txt", "", "not a video or picture korvel can read"},
          {"sound.mka", "", "no video stream"},
          {"cut.mkv", "", "damaged"},
          {"late.mkv", "null", "damaged"},
          {"wide.y4m", "", "its frames are larger than korvel takes"},
          {"whole.mkv", "scale=40000:16", "its frames are larger than korvel takes"},
          {"whole.mkv", "nosuch", "No such filter: 'nosuch'"},
          {"whole.mkv", "crop=38:23",
           "Invalid too big or non positive size for width '38' or "
           "height '23'"}})
        for (const bool timed : {false, true}) {
            clip_facts facts;
            EXPECT_LT(read_clip(folder.name(leaf), &facts, timed, filter).size(),
                      std::size_t(FRAMES))
                << leaf << (timed ? ", timed" : "");
            EXPECT_STREQ(load_problem(), cause) << leaf << (timed ? ", timed" : "");
        }
}

// Frame k of grey 40 k, 10 to a second, through graphs that change the rate, the times or the
// size: the count, the times (n ticks apart in the graph's time base, the last lasting as long)
// and the pictures are those that come out, known as the clip opens.
struct filtered_row {
    const char* graph;
    int frames, width, height;
    int repeats; // how many frames out of the graph each input frame makes
    int ticks, time_den;
};

const filtered_row filtered[] = {
    {"fps=20", 12, 16, 16, 2, 1, 20},
    {"scale=8:4,setpts=PTS/2", 6, 8, 4, 1, 50, 1000},
};

TEST_F(ClipCodecs, FilterGraphsGiveTheFramesTimesAndSizesThatComeOutOfThem) {
    if (!run_ffmpeg(folder, "-f lavfi -i \"color=black:s=16x16:r=10:d=0.6,format=rgb24,"
                            "geq=r=40*N:g=40*N:b=40*N\" -c:v ffv1 grey.mkv"))
        GTEST_SKIP() << "no ffmpeg program";
    for (const filtered_row& row : filtered) {
        SCOPED_TRACE(row.graph);
        clip_read_options options;
        options.keep_times = true;
        options.filter = row.graph;
        clip_facts f;
        clip_reader* reader = clip_reader_open_with(folder.name("grey.mkv").c_str(), options, &f);
        ASSERT_TRUE(reader) << load_problem();
        EXPECT_EQ(std::tuple(f.frames, f.width, f.height, f.time_num, f.time_den),
                  std::tuple(row.frames, row.width, row.height, 1, row.time_den));
        std::int64_t end = 0, time = -1;
        const std::vector<std::int64_t> times = clip_reader_take_times(reader, &end);
        ASSERT_EQ(times.size(), std::size_t(row.frames));
        EXPECT_EQ(end, row.frames * row.ticks);
        for (int n = 0; n < row.frames; ++n) {
            const bytes frame = taken_bytes(clip_reader_next_timed(reader, &time));
            ASSERT_FALSE(frame.empty()) << load_problem();
            EXPECT_EQ(std::tuple(times[n], time), std::tuple(n * row.ticks, n * row.ticks));
            EXPECT_NEAR(std::uint8_t(frame[0]), 40 * (n / row.repeats), 1) << "frame " << n;
        }
        EXPECT_EQ(clip_reader_next(reader), 0);
        clip_reader_close(reader);
    }
}

TEST_F(ClipCodecs, WriterLeavesNoFileWhenItCannotWriteOrIsNotFinished) {
    EXPECT_EQ(clip_format_for(u"frames.png"), nullptr);
    for (const auto& [leaf, cause] : {std::pair{"missing/out.mkv", "No such file or directory"},
                                      {"odd.mp4", "H.264 needs an even width and height"}}) {
        const char* problem = "";
        const std::u16string name = folder.name(leaf);
        EXPECT_EQ(clip_writer_open(name.c_str(), clip_format_for(name.c_str()),
                                   {37, 23, 24, 1, 0, 0}, &problem),
                  nullptr);
        EXPECT_STREQ(problem, cause);
    }
    // Written under a name of no kind, as the renderer does until the clip is whole.
    const char* problem = "";
    clip_writer* unfinished =
        clip_writer_open(folder.name("out.mkv.part").c_str(), clip_format_for(u".mkv"),
                         {37, 23, 24, 1, 0, 0}, &problem);
    EXPECT_TRUE(clip_writer_add(unfinished, bitmap_create(37, 23, 32)));
    EXPECT_TRUE(path_exists(folder.path("out.mkv.part")));
    clip_writer_close(unfinished);
    EXPECT_EQ(folder_names(folder.root()), std::vector<std::string>{});
}

} // namespace
} // namespace korvel::test
