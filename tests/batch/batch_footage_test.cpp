// korvel-render with clips as footage users publish: the input's sound goes along into a clip,
// copied or re-encoded, cut to the frames written and starting with them, or beside PNG frames;
// and streams on pipes, read as they come and written for a reader that may stop early. Clips are
// made and read back by the ffmpeg and ffprobe programs, tools independent of the code under
// test.
#include "batch/batch_render.h"
#include "tests/batch/render_process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace korvel::test {
namespace {

// One second at 24 frames per second with a tone (of sound_seconds): with L = 3, 8 output frames
// at 8 per second.
void make_clip(const scratch_folder& work, const std::string& name, const char* sound_codec,
               const char* sound_seconds = "1") {
    const std::string command = "ffmpeg -v error -y -f lavfi -i testsrc=s=64x48:r=24:d=1 -f lavfi "
                                "-i sine=d=" +
                                std::string(sound_seconds) + " -c:v ffv1 -c:a " +
                                std::string(sound_codec) + " '" + work.path(name) + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
}

struct span {
    std::string codec; // "" when the stream is absent
    double start = 0, end = 0;
};

// The stream's codec, and the time from its first packet's start to its last packet's end.
span span_of(const std::string& file, const char* stream) {
    span found;
    found.codec = command_output("ffprobe -v error -select_streams " + std::string(stream) +
                                 " -show_entries stream=codec_name -of csv=p=0 '" + file + "'");
    if (!found.codec.empty()) found.codec.pop_back();
    std::istringstream packets(
        command_output("ffprobe -v error -select_streams " + std::string(stream) +
                       " -show_entries packet=pts_time,duration_time -of csv=p=0 '" + file + "'"));
    bool first = true;
    for (std::string line; std::getline(packets, line);) {
        double pts = 0, duration = 0;
        if (std::sscanf(line.c_str(), "%lf,%lf", &pts, &duration) < 1) continue;
        if (first) found.start = pts;
        first = false;
        found.end = std::max(found.end, pts + duration);
    }
    return found;
}

struct sound_row {
    const char* name;
    const char* input_sound; // the input clip's sound codec
    std::vector<std::string> args;
    const char* output;      // OUT.ext, or OUT for PNG frames (the sound then in OUT/sound.*)
    const char* sound_codec; // of the output's sound, "" for none
    double seconds;          // the frames written, at 8 per second
};

const sound_row sound_rows[] = {
    {"copied into Matroska", "aac", {"-l", "3"}, "out.mkv", "aac", 1.0},
    {"a range, copied into QuickTime",
     "aac",
     {"-l", "3", "--frames", "3-6"},
     "out.mov",
     "aac",
     0.5},
    {"re-encoded for WebM", "aac", {"-l", "3"}, "out.webm", "opus", 1.0},
    {"re-encoded for MP4", "pcm_s16le", {"-l", "3", "--frames", "2-"}, "out.mp4", "aac", 0.875},
    {"left out", "aac", {"-l", "3", "--no-audio"}, "out.mkv", "", 1.0},
    {"beside PNG frames", "aac", {"-l", "3", "--audio", "OUT/sound.flac"}, "OUT", "flac", 1.0},
};

TEST(BatchFootage, SoundGoesAlongCutToTheFramesWrittenAndStartingWithThem) {
    if (!have_ffmpeg()) GTEST_SKIP() << "the ffmpeg program is not installed (./dev.sh deps)";
    const double frame = 1.0 / 8;
    for (const sound_row& row : sound_rows) {
        SCOPED_TRACE(row.name);
        const scratch_folder work;
        make_clip(work, "in.mkv", row.input_sound);
        const std::string out = work.make_folder("OUT");
        std::vector<std::string> args = {"-q"};
        for (const std::string& arg : row.args)
            args.push_back(arg == "OUT/sound.flac" ? out + "/sound.flac" : arg);
        args.push_back(work.path("in.mkv"));
        const bool png = std::string(row.output) == "OUT";
        args.push_back(png ? out : work.path(row.output));
        const render_result made = run_render(args);
        ASSERT_EQ(made.status, EXIT_RENDERED) << made.err;
        const std::string sound_file = png ? out + "/sound.flac" : work.path(row.output);
        const span sound = span_of(sound_file, "a:0");
        EXPECT_EQ(sound.codec, row.sound_codec);
        EXPECT_TRUE(!png || path_exists(out + "/08.png"));
        if (!*row.sound_codec) continue;
        const span picture = png ? span{"", 0, row.seconds} : span_of(sound_file, "v:0");
        EXPECT_NEAR(picture.end - picture.start, row.seconds, frame / 2);
        EXPECT_NEAR(sound.start, picture.start, frame);
        EXPECT_NEAR(sound.end, picture.end, frame);
    }
}

// Blurred by time at 8 fps with exposures of four intervals centred on their frames, the first
// frame shows at 0.25 s, though its exposure begins with the first input: its sound begins there
// too, so the half second of tone leaves a quarter of a second to the four frames (Matroska's
// milliseconds end the last input at 0.999 s, before a fifth exposure ends).
TEST(BatchFootage, SoundOfABlurByTimeBeginsAtItsFirstFramesTime) {
    if (!have_ffmpeg()) GTEST_SKIP() << "the ffmpeg program is not installed (./dev.sh deps)";
    const scratch_folder work;
    make_clip(work, "in.mkv", "pcm_s16le", "0.5");
    const std::string out = work.path("out.mkv");
    const render_result made =
        run_render({"-q", "--out-fps", "8", "--shutter", "1440", work.path("in.mkv"), out});
    ASSERT_EQ(made.status, EXIT_RENDERED) << made.err;
    const span picture = span_of(out, "v:0"), sound = span_of(out, "a:0");
    const double frame = 1.0 / 8;
    EXPECT_NEAR(picture.end - picture.start, 4 * frame, frame / 2);
    EXPECT_NEAR(sound.start, picture.start, frame / 2);
    EXPECT_NEAR(sound.end - sound.start, 0.25, frame / 2);
}

// The status of korvel-render in a shell pipeline, its standard error in err.
int in_pipeline(const scratch_folder& work, const std::string& before, const std::string& args,
                const std::string& after) {
    const std::string command = "bash -c '" + before + KORVEL_RENDER_PATH + " " + args + " 2>" +
                                work.path("err") + after + "; exit ${PIPESTATUS[" +
                                (before.empty() ? "0" : "1") + "]}'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(BatchFootage, StreamsOnPipesRenderAsTheyComeAndAReaderThatStopsEndsTheRender) {
    if (!have_ffmpeg()) GTEST_SKIP() << "the ffmpeg program is not installed (./dev.sh deps)";
    const scratch_folder work;
    make_clip(work, "in.mkv", "aac");
    const std::string in = work.path("in.mkv"), out = work.make_folder("out");
    const std::string piped_in = "cat " + in + " | ";

    ASSERT_EQ(
        in_pipeline(work, piped_in, "-q -l 3 - - --container nut", " > " + work.path("o.nut")),
        EXIT_RENDERED);
    EXPECT_EQ(command_output("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                             "stream=nb_read_frames -of csv=p=0 " +
                             work.path("o.nut")),
              "8\n");
    EXPECT_EQ(span_of(work.path("o.nut"), "a:0").codec, "aac");

    ASSERT_EQ(in_pipeline(work, piped_in, "-q -l 3 - " + out, ""), EXIT_RENDERED);
    EXPECT_TRUE(path_exists(out + "/000001.png") && path_exists(out + "/000008.png"));
    EXPECT_FALSE(path_exists(out + "/000009.png"));

    EXPECT_EQ(in_pipeline(work, "", "-q -l 1 " + in + " - --container nut", " | head -c 1000"),
              EXIT_RENDER_FAILED);
    EXPECT_EQ(read_file(work.path("err")),
              "korvel-render: Unable to save, standard output: the reader of standard output "
              "stopped reading (Broken pipe)\n");
}

} // namespace
} // namespace korvel::test
