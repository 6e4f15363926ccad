// korvel-render's command line: help and version, every option's effect on the frames, and a
// one-line message with status 2 for anything typed wrongly, before any folder is touched.
#include "render_process.h"
#include "test_pictures.h"
#include "work_folder.h"

#include <gtest/gtest.h>

namespace korvel::test {
namespace {

bool mentions(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(BatchCommandLine, HelpListsEveryOptionAndTheExitStatuses) {
    for (const char* flag : {"-h", "--help"}) {
        const render_run run = run_render({flag});
        EXPECT_EQ(run.status, 0);
        EXPECT_TRUE(run.err.empty()) << run.err;
        EXPECT_TRUE(mentions(run.out, "usage: korvel-render [options] INPUT_FOLDER OUTPUT_FOLDER"));
        for (const char* option :
             {"-l, --layers N", "-a, --alpha N", "-r, --reverse", "-j, --threads N", "--frames A-B",
              "-q, --quiet", "--stats", "--version", "(default 100)", "(default 255)"}) {
            EXPECT_TRUE(mentions(run.out, option)) << option;
        }
        for (const char* status : {"\n  0 ", "\n  1 ", "\n  2 ", "\n  130 "})
            EXPECT_TRUE(mentions(run.out, status)) << "exit status" << status;
    }
}

TEST(BatchCommandLine, VersionIsOneLine) {
    const render_run run = run_render({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "korvel-render 0.8\n");
}

struct usage_case {
    std::vector<std::string> args;
    std::string names; // what the message must point at
};

TEST(BatchCommandLine, WrongUsageIsOneClearLineAndStatusTwo) {
    const work_folder work;
    const std::string in = work.make_folder("in");
    write_frames(in, 3, 8, 8, 4);
    const std::string out = work.make_folder("out");
    const std::vector<usage_case> cases = {
        {{}, "expected INPUT_FOLDER and OUTPUT_FOLDER"},
        {{in}, "expected INPUT_FOLDER and OUTPUT_FOLDER"},
        {{in, out, "more"}, "unexpected argument 'more'"},
        {{"", out}, "the input folder must not be empty"},
        {{in, ""}, "the output folder must not be empty"},
        {{"-l", "x", in, out}, "-l/--layers wants a whole number of at least 1, not 'x'"},
        {{"--layers=", in, out}, "-l/--layers wants a whole number of at least 1, not ''"},
        {{"-l", "0", in, out}, "not '0'"},
        {{"-l", "-2", in, out}, "not '-2'"},
        {{"-l", "1.5", in, out}, "not '1.5'"},
        {{"-l", "99999999999999999999", in, out}, "not '99999999999999999999'"},
        {{"-a", "12abc", in, out}, "-a/--alpha wants a whole number, not '12abc'"},
        {{"-j", "0", in, out}, "-j/--threads wants a whole number of at least 1, not '0'"},
        {{"--threads", "-4", in, out}, "not '-4'"},
        {{"--frames", "5-3", in, out}, "--frames wants A-B, A- or A"},
        {{"--frames", "0-2", in, out}, "not '0-2'"},
        {{"--frames", "", in, out}, "not ''"},
        {{"--frames", "two", in, out}, "not 'two'"},
        {{in, out, "--frames"}, "--frames needs a value"},
        {{in, out, "-l"}, "-l/--layers needs a value"},
        {{"-x", in, out}, "unknown option '-x'"},
        {{"--layer-count", "3", in, out}, "unknown option '--layer-count'"},
        {{"--quiet=yes", in, out}, "-q/--quiet takes no value"},
    };
    for (const usage_case& c : cases) {
        const render_run run = run_render(c.args);
        const std::string line = run.err.substr(0, run.err.find('\n'));
        EXPECT_EQ(run.status, 2) << line;
        EXPECT_EQ(run.err, line + "\n") << "one line only";
        EXPECT_EQ(line.rfind("korvel-render: ", 0), 0u) << line;
        EXPECT_TRUE(mentions(line, c.names)) << line;
        EXPECT_TRUE(mentions(line, "korvel-render --help")) << line;
    }
    EXPECT_TRUE(read_folder(out).empty()) << "a usage error renders nothing";
}

// The frames of one run, by name.
folder_contents render_into(const work_folder& work, const std::string& leaf,
                            std::vector<std::string> args) {
    const std::string out = work.make_folder(leaf);
    args.push_back(out);
    const render_run run = run_render(args);
    EXPECT_EQ(run.status, 0) << run.err;
    return read_folder(out);
}

TEST(BatchCommandLine, DefaultsAreOneHundredLayersAndAlphaLevels255) {
    const work_folder work;
    const std::string in = work.make_folder("in");
    write_frames(in, 100, 6, 4, 4);
    const folder_contents defaults = render_into(work, "defaults", {"-q", in});
    ASSERT_EQ(defaults.size(), 1u);
    EXPECT_EQ(defaults.begin()->first, "001.png");
    EXPECT_EQ(defaults, render_into(work, "explicit", {"-q", "-l", "100", "-a", "255", in}));
    EXPECT_NE(defaults, render_into(work, "fainter", {"-q", "-a", "254", in}));
    write_png(in + "/frame101.png", pattern_picture(6, 4, 4, 101));
    EXPECT_EQ(render_into(work, "more", {"-q", in}).size(), 1u) << "101 inputs: one frame";
}

TEST(BatchCommandLine, ShortAndLongFormsAndNumberFormsAgree) {
    const work_folder work;
    const std::string in = work.make_folder("in");
    write_frames(in, 12, 16, 12, 4);
    const folder_contents forward = render_into(work, "forward", {"-q", "-l", "4", "-a", "90", in});
    EXPECT_EQ(forward.size(), 3u);
    EXPECT_EQ(forward, render_into(work, "long", {"--quiet", "--layers=4", "--alpha", "90", in}));
    EXPECT_EQ(forward, render_into(work, "hex", {"-q", "-l", "$4", "-a", "%1011010", in}));
    EXPECT_EQ(forward, render_into(work, "after", {in, "-ql4", "-a90"}));
    const folder_contents reversed =
        render_into(work, "r", {"-q", "-r", "-l", "4", "-a", "90", in});
    EXPECT_NE(forward, reversed);
    EXPECT_EQ(reversed, render_into(work, "reverse", {"-q", "--reverse", "-l4", "-a90", in}));
}

} // namespace
} // namespace korvel::test
