// korvel-render with clips. The frames of a clip render exactly as the same pictures saved as PNG
// files; a lossless clip output holds exactly the frames the PNG files would; a lossy clip has the
// right frames, count and rate; a render killed midway is completed by --skip-existing with the
// bytes of an undisturbed run; and a clip that cannot be read or written ends the render with one
// clear line and nothing half-written. The clips are made and read back with the ffmpeg program,
// a tool independent of the code under test.
#include "batch/batch_render.h"
#include "tests/batch/render_process.h"
#include "tests/support/process_watch.h"
#include "tests/support/test_png.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <numeric>
#include <sys/stat.h>

namespace korvel::test {
namespace {

void ffmpeg(const std::string& args) {
    ASSERT_EQ(std::system(("ffmpeg -v error -y " + args).c_str()), 0) << args;
}

// What ffprobe says of the clip's video stream (a comma-separated list of entries).
std::string probe(const std::string& clip, const std::string& entries) {
    return command_output(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=" + entries +
        " -of csv=p=0 '" + clip + "'");
}

std::vector<std::string> with(std::vector<std::string> args, const std::string& in,
                              const std::string& out) {
    args.push_back(in);
    args.push_back(out);
    return args;
}

struct clip_row {
    bool alpha;
    const char* pixel_format; // FFV1's pixels for the clip made of the PNG files
    std::vector<std::string> args;
};

TEST(BatchClip, AClipsFramesRenderAsTheSamePicturesAsPngFilesAndALosslessClipHoldsTheFrames) {
    if (!have_ffmpeg()) GTEST_SKIP() << "the ffmpeg program is not installed (./dev.sh deps)";
    const clip_row rows[] = {
        {true, "bgra", {"-l", "3"}},
        {true, "bgra", {"-l", "4", "-r", "-a", "128", "--frames", "2-"}},
        {false, "bgr0", {"-l", "2", "-j", "1"}},
    };
    for (const clip_row& row : rows) {
        SCOPED_TRACE(row.pixel_format + (" " + row.args[1]));
        const scratch_folder work;
        const std::string in = work.make_folder("in"), clip = work.path("in.mkv");
        write_frames(in, 9, 37, 23, row.alpha);
        ffmpeg("-framerate 30 -i " + in + "/frame%03d.png -c:v ffv1 -pix_fmt " + row.pixel_format +
               " " + clip);
        const std::string from_files = work.make_folder("files"),
                          from_clip = work.make_folder("clip"), out = work.path("out.mkv");
        ASSERT_EQ(run_render(with(row.args, in, from_files)).status, EXIT_RENDERED);
        ASSERT_EQ(run_render(with(row.args, clip, from_clip)).status, EXIT_RENDERED);
        expect_same_files(from_clip, from_files);

        // Into a clip, the output rate is by default the input's over L.
        ASSERT_EQ(run_render(with(row.args, clip, out)).status, EXIT_RENDERED);
        const int layers = std::stoi(row.args[1]), common = std::gcd(30, layers);
        EXPECT_EQ(probe(out, "r_frame_rate"),
                  std::to_string(30 / common) + "/" + std::to_string(layers / common) + "\n");
        // Nine inputs name the frames with one digit.
        const std::string decoded = work.make_folder("decoded");
        const auto names = folder_names(from_files);
        ffmpeg("-i " + out + " -pix_fmt rgba -start_number " + names.front().substr(0, 1) + " " +
               decoded + "/%d.png");
        EXPECT_EQ(folder_names(decoded), names);
        for (const std::string& name : names)
            EXPECT_TRUE(read_png_rgba(decoded + "/" + name) ==
                        read_png_rgba(from_files + "/" + name))
                << name;
        EXPECT_EQ(folder_names(work.root()), (std::vector<std::string>{"clip", "decoded", "files",
                                                                       "in", "in.mkv", "out.mkv"}));
    }
}

TEST(BatchClip, AnH264ClipInAndOutHasTheFramesCountAndRateAsked) {
    if (!have_ffmpeg()) GTEST_SKIP() << "the ffmpeg program is not installed (./dev.sh deps)";
    const scratch_folder work;
    const std::string clip = work.path("in.mp4"), frames = work.make_folder("frames");
    ffmpeg("-f lavfi -i testsrc=size=64x48:rate=25:duration=1 -c:v libx264 -pix_fmt yuv420p " +
           clip);
    ASSERT_EQ(run_render({"-q", "-l", "4", clip, frames}).status, EXIT_RENDERED);
    EXPECT_EQ(folder_names(frames), (std::vector<std::string>{"01.png", "02.png", "03.png",
                                                              "04.png", "05.png", "06.png"}));
    const png_read first = read_png(frames + "/01.png");
    EXPECT_EQ(first.image.width * 100 + first.image.height, 6448);
    const std::string out = work.path("out.mp4");
    ASSERT_EQ(
        run_render({"-q", "-l", "4", "--fps", "12.5", "--background", "#FF8000", clip, out}).status,
        EXIT_RENDERED);
    EXPECT_EQ(probe(out, "width,height,pix_fmt,r_frame_rate,nb_read_frames"),
              "64,48,yuv420p,25/2,6\n");
}

TEST(BatchClip, SkipExistingCompletesAKilledRenderWithTheBytesOfAnUndisturbedOne) {
    const scratch_folder work;
    const std::string in = work.make_folder("in"), whole = work.make_folder("whole"),
                      out = work.make_folder("out"), fifth = in + "/frame005.png";
    write_frames(in, 8, 64, 48, true);
    ASSERT_EQ(run_render({"-q", "-l", "1", in, whole}).status, EXIT_RENDERED);
    const std::string fifth_bytes = read_file(fifth);
    ASSERT_TRUE(std::remove(fifth.c_str()) == 0 && mkfifo(fifth.c_str(), 0600) == 0);
    {
        // One thread saves each frame before it reads the next input.
        render_process killed({"-q", "-l", "1", "-j", "1", in, out});
        ASSERT_TRUE(wait_for_pipe_opener(killed.pid(), std::chrono::seconds(60)));
        kill(killed.pid(), SIGKILL);
    }
    std::remove(fifth.c_str());
    work.write("in/frame005.png", fifth_bytes);
    struct stat kept {};
    ASSERT_EQ(stat((out + "/1.png").c_str(), &kept), 0) << "the first frame was not saved";
    ASSERT_EQ(run_render({"-q", "-l", "1", "--skip-existing", in, out}).status, EXIT_RENDERED);
    expect_same_files(out, whole);
    struct stat after {};
    ASSERT_EQ(stat((out + "/1.png").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, kept.st_ino) << "a frame saved before was rendered again";
}

struct clip_trouble {
    const char* name;
    const char* input;  // "frames" for the PNG sequence, "damaged" for it with its third file
                        // no picture, else a file made by make
    const char* make;   // ffmpeg's arguments making input, or its text
    const char* output; // a path under the scratch folder
    const char* said;   // the last line after "korvel-render: ", {in} and {out} the paths
};

const clip_trouble troubles[] = {
    {"a text file", "notes.txt", "", "out",
     "Unable to load, {in}: not a video or picture korvel can read"},
    {"no video", "sound.mka", "-f lavfi -i sine=duration=0.2", "out",
     "Unable to load, {in}: no video stream"},
    {"no folder for the clip", "frames", "", "gone/out.mkv",
     "Unable to save, {out}: No such file or directory"},
    {"an odd size for H.264", "frames", "", "out.mp4",
     "Unable to save, {out}: H.264 needs an even width and height"},
    {"a damaged input midway", "damaged", "", "out.mkv",
     "Unable to load, {in}/frame003.png: not a PNG file"},
};

TEST(BatchClip, AClipThatCannotBeReadOrWrittenEndsTheRenderInOneLineLeavingNothing) {
    if (!have_ffmpeg()) GTEST_SKIP() << "the ffmpeg program is not installed (./dev.sh deps)";
    for (const clip_trouble& row : troubles) {
        SCOPED_TRACE(row.name);
        const scratch_folder work;
        std::string in = work.make_folder("frames");
        write_frames(in, 4, 37, 23, true);
        const std::string out = work.path(row.output);
        if (std::string(row.input) == "damaged") {
            work.write("frames/frame003.png", "no picture");
        } else if (std::string(row.input) != "frames") {
            in = work.path(row.input);
            if (*row.make)
                ffmpeg(std::string(row.make) + " " + in);
            else
                work.write(row.input, "no video");
        }
        const auto before = folder_names(work.root());
        if (std::string(row.output) == "out") work.make_folder("out");
        const render_result made = run_render({"-q", "-l", "2", in, out});
        EXPECT_EQ(made.status, EXIT_RENDER_FAILED);
        std::string said = std::string("korvel-render: ") + row.said + "\n";
        const bool names_in = said.find("{in}") != std::string::npos;
        said.replace(said.find('{'), names_in ? 4 : 5, names_in ? in : out);
        EXPECT_EQ(made.err, said);
        if (std::string(row.output) != "out") {
            EXPECT_EQ(folder_names(work.root()), before);
        }
    }
}

} // namespace
} // namespace korvel::test
