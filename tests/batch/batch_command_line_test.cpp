// korvel-render's command line. Each spelling of its options makes exactly the frames of the
// chosen range, numbered and named as in a full run, each the reference composite of its group
// (with --format rgb in RGB files, laid over the background), and reports one line per frame into a
// pipe (nothing when quiet, stage times with --stats), or on a terminal a bar redrawn in place,
// never as wide as the terminal (a wrapped line cannot be redrawn). A mistake is one line naming
// it, with status 2 and nothing rendered: numbers are read as the window reads its fields, and
// refused where it would cut or wrap them.
#include "batch/batch_render.h"
#include "tests/batch/render_process.h"
#include "tests/support/reference_blur.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <limits>
#include <regex>
#include <utility>

namespace korvel::test {
namespace {

constexpr std::int32_t END = std::numeric_limits<std::int32_t>::max();
constexpr int INPUTS = 101;

// The inputs in listing order: an RGB "EXTRA.PNG", which "*.png" matches and which sorts first,
// then RGBA frames; a file that is no frame lies among them.
rgba_image input(int place) {
    return pattern_image(8, 6, static_cast<std::uint32_t>(place), place > 0);
}

std::string write_inputs(const scratch_folder& work) {
    const std::string in = work.make_folder("in");
    for (int place = 0; place < INPUTS; ++place) {
        char name[32];
        std::snprintf(name, sizeof name, place ? "/frame%03d.png" : "/EXTRA.PNG", place);
        write_png(in + name, input(place), place > 0);
    }
    std::ofstream(in + "/notes.txt") << "no frame";
    return in;
}

struct command_row {
    std::vector<std::string> args; // "IN" and "OUT" stand for the folders
    // Without layers, a usage error's complaint; else what standard error must match, if not a
    // line per frame.
    const char* said = nullptr;
    std::int64_t layers = 0, alpha_levels = 255;
    bool reverse = false;
    std::int32_t first = 1, last = END;
    unsigned short terminal_columns = 0; // standard error on a terminal this wide, unless 0
    std::int32_t rgb_over = -1;          // --format rgb's background, or -1 for RGBA files
};

const std::vector<std::string> AS_RGB = {"--format", "rgb", "--background", "#FF8000",
                                         "-l3",      "IN",  "OUT"};
const char* const BEYOND = "korvel-render: no frame to render: the sequence has 33 frames\n";
const char* const STATS = "decode [0-9]+\\.[0-9]{2} s, composite [0-9]+\\.[0-9]{2} s, encode "
                          "[0-9]+\\.[0-9]{2} s \\(summed over threads\\)\n";
// On a terminal the bar is drawn at the start and after each of the 4 frames from the line's start,
// cleared first, narrower than the terminal and at last full; its line is ended at the end.
const char* const BAR_80 =
    "(\r\x1b\\[K[^\r\n]{0,79}){4}\r\x1b\\[K(?=[^\r]*4/4 100%)[^\r\n]{0,79}\r\n";
const char* const BAR_40 =
    "(\r\x1b\\[K[^\r\n]{0,39}){4}\r\x1b\\[K(?=[^\r]*4/4 100%)[^\r\n]{0,39}\r\n";

const command_row command_rows[] = {
    {{"--threads=2", "IN", "OUT"}, nullptr, 100},
    {{"-q", "-r", "-l", "3", "-a", "$fa", "-j", "1", "IN", "OUT"}, "", 3, 250, true},
    {{"--reverse", "--layers=3", "--alpha", "%11001000", "IN", "OUT"}, nullptr, 3, 200, true},
    {{"IN", "OUT", "-rl3", "-a$C8", "-j4", "--frames", "2-4"}, nullptr, 3, 200, true, 2, 4},
    {{"-l", "3", "--frames", "33", "IN", "OUT"}, nullptr, 3, 255, false, 33, 33},
    {{"-l", "3", "--frames=32-", "IN", "OUT"}, nullptr, 3, 255, false, 32},
    {{"-l", "3", "--frames", "34-100", "IN", "OUT"}, BEYOND, 3, 255, false, 34, 100},
    {{"--quiet", "--stats", "-l", "40", "IN", "OUT"}, STATS, 40},
    {{"-l", "25", "IN", "OUT"}, BAR_80, 25, 255, false, 1, END, 80},
    {{"-l", "25", "IN", "OUT"}, BAR_40, 25, 255, false, 1, END, 40},
    {AS_RGB, nullptr, 3, 255, false, 1, END, 0, 0xFF8000},
    {{}, "expected INPUT and OUTPUT"},
    {{"IN", "OUT", "more"}, "unexpected argument 'more'"},
    {{"--count", "-l", "3"}, "expected INPUT"},
    {{"--count", "IN", "OUT"}, "unexpected argument"},
    {{"", "OUT"}, "the input folder must not be empty"},
    {{"-l", "x", "IN", "OUT"}, "--layers wants a whole number of at least 1, not 'x'"},
    {{"--layers=", "IN", "OUT"}, "--layers wants a whole number of at least 1, not ''"},
    {{"-l0", "IN", "OUT"}, "not '0'"},
    {{"-l", "%2", "IN", "OUT"}, "not '%2'"},
    {{"-a", "12abc", "IN", "OUT"}, "-a/--alpha wants a whole number, not '12abc'"},
    {{"-a", "9223372036854775808", "IN", "OUT"}, "not '9223372036854775808'"},
    {{"-j", "0", "IN", "OUT"}, "-j/--threads wants a whole number of at least 1"},
    {{"--frames", "5-3", "IN", "OUT"}, "--frames wants A-B, A- or A"},
    {{"--frames", "0-2", "IN", "OUT"}, "not '0-2'"},
    {{"IN", "OUT", "--frames"}, "--frames needs a value"},
    {{"-x", "IN", "OUT"}, "unknown option '-x'"},
    {{"--layer-count", "3", "IN", "OUT"}, "unknown option '--layer-count'"},
    {{"--quiet=yes", "IN", "OUT"}, "-q/--quiet takes no value"},
    {{"IN", "blurred.avi"}, "'.avi' is no kind of clip (.mkv, .mov, .webm, .mp4, .nut or .y4m)"},
    {{"--fps", "30", "IN", "OUT"}, "--fps and --background set a clip's frames"},
    {{"--fps", "0", "IN", "x.mkv"}, "--fps wants frames per second above 0 and up to 1000"},
    {{"--fps", "1001/1", "IN", "x.mkv"}, "not '1001/1'"},
    {{"--background", "red", "IN", "x.mp4"}, "--background wants a colour as #RRGGBB"},
    {{"--skip-existing", "IN", "x.mkv"}, "--skip-existing resumes a folder of frames"},
    {{"--step", "0", "IN", "OUT"}, "--step wants a whole number of at least 1, not '0'"},
    {{"-l", "5", "--weights", "1,2,3", "IN", "OUT"}, "--weights lists 3 weights for 5 layers"},
    {{"-l", "3", "--weights", "1,-2,3", "IN", "OUT"}, "--weights wants ramp, equal, gauss"},
    {{"-l", "3", "--weights", "0,0,0", "IN", "OUT"}, "--weights must not all be 0"},
    {{"--weights", "gauss:0", "IN", "OUT"}, "wants a SIGMA above 0 after 'gauss:'"},
    {{"--linear", "IN", "OUT"}, "--linear works with a weighted mean (--weights), not with ramp"},
    {{"--compression", "13", "IN", "OUT"}, "--compression wants a level from 0 to 12, not '13'"},
    {{"--png-filter", "avg", "IN", "OUT"}, "--png-filter wants none, sub, up, paeth or adaptive"},
    {{"--format", "rgba", "IN", "x.mkv"}, "--compression, --png-filter and --format set PNG files"},
    {{"--background", "white", "IN", "OUT"}, "--background also those of --format rgb"},
    {{"IN", "-"}, "OUTPUT - writes a stream to standard output and needs --container mkv, mov"},
    {{"--container", "nut", "IN", "OUT"}, "--container sets the stream written to standard output"},
    {{"--count", "-"}, "--count and --skip-existing need an INPUT whose length is known"},
    {{"--codec", "hevc", "IN", "OUT"}, "--codec, --crf, --preset and --no-audio set a clip OUTPUT"},
    {{"--codec", "ffv1", "IN", "x.mp4"}, ".mp4 takes h264"},
    {{"--crf", "99", "IN", "x.mp4"}, "takes --crf 0 to 51"},
    {{"--audio", "s.wav", "IN", "x.mkv"}, "--audio writes a clip INPUT's sound beside PNG frames"},
    {{"--audio", "s.mp3", "-", "OUT"}, "--audio wants a file ending in .wav, .flac, .m4a or .opus"},
    {{"--vf", "scale=8:4,nosuch", "IN", "OUT"},
     "--vf 'scale=8:4,nosuch': No such filter: 'nosuch'"},
    {{"--vf", "scale=w=8:x=4", "IN", "OUT"}, "--vf 'scale=w=8:x=4': Option 'x' not found"},
    {{"--vf", "fps=20", "IN", "OUT"}, "--vf wants a clip INPUT, and INPUT is a folder"},
    {{"--vf", "fps=20", "--out-fps", "10", "-", "OUT"}, "--vf over a stream INPUT (-) cannot be"},
    {{"--no-autorotate", "IN", "OUT"}, "--no-autorotate keeps a clip INPUT's stored orientation"},
    {{"--digits", "0", "IN", "OUT"}, "--digits wants a whole number from 1 to 10, not '0'"},
};

rgba_image expected_frame(const command_row& row, std::int32_t frame) {
    rgba_image canvas = blank_image(8, 6);
    const std::vector<std::int32_t> opacities = reference_opacities(row.alpha_levels, row.layers);
    for (std::int64_t i = 0; i < row.layers; ++i) {
        const auto place =
            static_cast<int>((frame - 1) * row.layers + (row.reverse ? row.layers - 1 - i : i));
        draw_layer(canvas, input(place), place > 0, opacities[i]);
    }
    for (std::size_t i = 0; row.rgb_over >= 0 && i < canvas.rgba.size(); i += 4) {
        const int alpha = std::exchange(canvas.rgba[i + 3], 255);
        for (int c = 0; c < 3; ++c) { // rounded to nearest
            const int under = row.rgb_over >> (16 - 8 * c) & 255;
            canvas.rgba[i + c] =
                std::uint8_t((canvas.rgba[i + c] * alpha + under * (255 - alpha) + 127) / 255);
        }
    }
    return canvas;
}

TEST(BatchCommandLine, MakesTheFramesOfTheRangeSpelledOrSaysInOneLineWhatIsWrong) {
    const scratch_folder work, out;
    const std::string in = write_inputs(work);
    for (const command_row& row : command_rows) {
        std::vector<std::string> args = row.args;
        for (std::string& arg : args)
            arg = arg == "IN" ? in : arg == "OUT" ? out.root() : arg;
        const render_result made = run_render(args, {.terminal_columns = row.terminal_columns});
        SCOPED_TRACE((row.args.empty() ? "" : row.args[0]) + " ... " + made.err);
        ASSERT_EQ(made.status, row.layers ? EXIT_RENDERED : EXIT_USAGE);
        if (!row.layers) {
            EXPECT_TRUE(made.err.starts_with("korvel-render: "));
            EXPECT_NE(made.err.find(row.said), std::string::npos);
            EXPECT_TRUE(made.err.ends_with(" (see korvel-render --help)\n"));
            EXPECT_EQ(std::count(made.err.begin(), made.err.end(), '\n'), 1);
            EXPECT_TRUE(folder_names(out.root()).empty()) << "rendered after a usage error";
            continue;
        }
        const auto last = std::min<std::int64_t>(row.last, INPUTS / row.layers);
        std::vector<std::string> names;
        std::string lines;
        for (std::int32_t frame = row.first; frame <= last; ++frame) {
            char name[16];
            std::snprintf(name, sizeof name, "%03d.png", frame);
            names.push_back(name);
            EXPECT_TRUE(read_png_rgba(out.path(name)) == expected_frame(row, frame)) << name;
            EXPECT_EQ(read_png(out.path(name)).colour_type, row.rgb_over < 0 ? 6 : 2) << name;
            std::remove(out.path(name).c_str());
            lines += "frame " + std::to_string(frame) + " rendered: " + out.path(name) + " (" +
                     std::to_string(names.size()) + "/" + std::to_string(last - row.first + 1) +
                     ")\n";
        }
        EXPECT_TRUE(folder_names(out.root()).empty()) << "more frames than " << names.size();
        EXPECT_TRUE(row.said ? std::regex_match(made.err, std::regex(row.said))
                             : made.err == lines);
    }
}

} // namespace
} // namespace korvel::test
