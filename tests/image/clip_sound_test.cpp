// The sound of an input clip carried into clips and sound files: copied packet for packet where
// the container takes its codec, re-encoded where not, cut to the span of the frames written and
// in step with them within an output frame. The input is silent for its first second, then sounds
// a tone; the span starts half a second in, so the tone must be heard half a second after the
// first output frame shows.
#include "tests/image/clip_tools.h"

#include "image/clip_reader.h"
#include "image/load_problem.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

namespace korvel::test {
namespace {

constexpr int OUTPUT_RATE = 12, INPUTS_PER_OUTPUT = 2;
constexpr double SPAN_START = 0.5, TONE_START = 1.0, LISTEN_RATE = 8000;
const clip_time span_start{1, 1, 2};

// The sound of a file as ffmpeg decodes it: the MD5 of every packet (framemd5's sixth field;
// side data may follow) and the samples, mono at LISTEN_RATE.
struct decoded_sound {
    std::set<std::string> hashes;
    std::string pcm;
};

decoded_sound decode_sound(const scratch_folder& folder, const std::string& leaf) {
    std::istringstream lines(command_output(
        folder, "ffmpeg -v error -i " + leaf + " -map 0:a -c copy -f framemd5 -y hashes -map 0:a " +
                    "-ac 1 -ar 8000 -f s16le -y pcm && cat hashes"));
    decoded_sound sound{{}, read_file(folder.path("pcm"))};
    char hash[33] = {};
    for (std::string line; std::getline(lines, line);)
        if (std::sscanf(line.c_str(), "%*d, %*d, %*d, %*d, %*d, %32s", hash) == 1)
            sound.hashes.insert(hash);
    return sound;
}

// When the stream's first decoded frame shows: after the samples an encoder's start-up asks to
// skip, which the packets' own times still count.
double first_time(const scratch_folder& folder, const std::string& leaf,
                  const std::string& stream) {
    const std::vector<std::string> values =
        probe(folder, leaf, stream + " -read_intervals %+0.5", "frame=best_effort_timestamp_time");
    return values.empty() ? -1 : std::strtod(values[0].c_str(), nullptr);
}

// Seconds from the first picture: where the sound starts, where it ends and where the tone begins.
std::tuple<double, double, double> heard(const scratch_folder& folder, const std::string& leaf,
                                         const std::string& pcm, bool pictures) {
    const double offset =
        first_time(folder, leaf, "a:0") - (pictures ? first_time(folder, leaf, "v:0") : 0);
    std::size_t tone = 0;
    while (tone * 2 + 1 < pcm.size() &&
           std::abs(std::int16_t(std::uint8_t(pcm[tone * 2]) | pcm[tone * 2 + 1] << 8)) < 8000)
        ++tone;
    return {offset, offset + pcm.size() / 2 / LISTEN_RATE, offset + tone / LISTEN_RATE};
}

// Reads two input frames per output frame, as a render of -l 2 would, while writing; the output
// is a clip when leaf names one, else a sound file.
std::string carry_sound(const scratch_folder& folder, const std::string& input,
                        const std::string& leaf, int frames) {
    clip_read_options options;
    options.keep_sound = true;
    clip_facts facts;
    clip_reader* reader = clip_reader_open_with(folder.name(input).c_str(), options, &facts);
    if (!reader) return load_problem();
    const auto read_inputs = [&](int) {
        for (int i = 0; i < INPUTS_PER_OUTPUT; ++i)
            bitmap_delete(clip_reader_next(reader));
    };
    std::string problem;
    if (const clip_format* format = clip_format_for(folder.name(leaf).c_str())) {
        const clip_choices choices{{}, clip_reader_sound(reader), span_start};
        problem = write_frames(folder.name(leaf), format, {64, 64, OUTPUT_RATE, 1, 0, 1}, choices,
                               frames, ramp_colour, read_inputs);
    } else {
        const char* cause = "";
        clip_sound_file* file = clip_sound_file_open(
            folder.name(leaf).c_str(), clip_sound_format_for(folder.name(leaf).c_str()),
            clip_reader_sound(reader), span_start, OUTPUT_RATE, 1, &cause);
        for (int n = 1; file && n <= frames; ++n) {
            read_inputs(n);
            clip_sound_file_reach(file, n);
        }
        problem = !file                                  ? cause
                  : clip_sound_file_finish(file, frames) ? ""
                                                         : clip_sound_file_problem(file);
        clip_sound_file_close(file);
    }
    clip_reader_close(reader);
    return problem;
}

class ClipSound : public clip_test {};

TEST_F(ClipSound, SoundIsCopiedOrReencodedCutToTheFramesAndInStep) {
    const std::string sources = "-f lavfi -i testsrc=s=64x64:r=24:d=3 -f lavfi -i "
                                "\"aevalsrc=if(gte(t\\,1)\\,0.5*sin(2*PI*440*t)\\,0):s=48000:d=3\" "
                                "-c:v mpeg4 ";
    if (!run_ffmpeg(folder, sources + "-c:a aac aac.mp4")) GTEST_SKIP() << "no ffmpeg program";
    ASSERT_TRUE(run_ffmpeg(folder, sources + "-c:a pcm_s16le pcm.mov"));
    const bool opus = run_ffmpeg(folder, sources + "-c:a libopus opus.mkv");
    std::map<std::string, std::set<std::string>> input_hashes;
    for (const char* input : {"aac.mp4", "pcm.mov", "opus.mkv"})
        input_hashes[input] = decode_sound(folder, input).hashes;
    for (const auto& [input, leaf, codec, copied, frames] :
         {std::tuple{"aac.mp4", "out-copy.mkv", "aac", true, 24},
          {"aac.mp4", "out-copy.mov", "aac", true, 12},
          {"aac.mp4", "out-opus.webm", "opus", false, 24},
          {"pcm.mov", "out-aac.mp4", "aac", false, 12},
          {"opus.mkv", "out-copy.webm", "opus", true, 24},
          {"aac.mp4", "out-copy.m4a", "aac", true, 24},
          {"aac.mp4", "out-pcm.wav", "pcm_s16le", false, 12},
          {"pcm.mov", "out-flac.flac", "flac", false, 24},
          {"pcm.mov", "out-opus.opus", "opus", false, 12}}) {
        SCOPED_TRACE(std::string(input) + " to " + leaf);
        if (std::string(input) == "opus.mkv" && !opus) continue;
        ASSERT_EQ(carry_sound(folder, input, leaf, frames), "");
        EXPECT_EQ(probe(folder, leaf, "a:0", "stream=codec_name"), std::vector<std::string>{codec});
        const decoded_sound out = decode_sound(folder, leaf);
        const std::set<std::string>& in = input_hashes[input];
        EXPECT_EQ(std::includes(in.begin(), in.end(), out.hashes.begin(), out.hashes.end()),
                  copied);
        const auto [start, end, tone] =
            heard(folder, leaf, out.pcm, clip_format_for(folder.name(leaf).c_str()));
        // Within an output frame, checked to half of one so that a frame too many or too few shows.
        constexpr double frame = 1.0 / OUTPUT_RATE;
        EXPECT_NEAR(start, 0, frame / 2);
        EXPECT_NEAR(end, frames * frame, frame / 2);
        EXPECT_NEAR(tone, TONE_START - SPAN_START, frame / 2);
    }
}

} // namespace
} // namespace korvel::test
