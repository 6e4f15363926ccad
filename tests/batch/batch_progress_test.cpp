// Progress as the user sees it: a bar redrawn in place on a terminal, one line per frame in a
// log, and nothing but errors with --quiet.
#include "render_process.h"
#include "test_pictures.h"
#include "work_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

namespace korvel::test {
namespace {

class BatchProgress : public ::testing::Test {
protected:
    void SetUp() override {
        in_ = work_.make_folder("in");
        write_frames(in_, 8, 32, 24, 4);
        out_ = work_.make_folder("out");
    }

    work_folder work_;
    std::string in_;
    std::string out_;
};

TEST_F(BatchProgress, ALogGetsOneLinePerSavedFrame) {
    const render_run run = run_render({"-l", "2", in_, out_});
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream lines(run.err);
    std::set<std::string> seen;
    int count = 0;
    for (std::string line; std::getline(lines, line);) {
        ++count;
        const std::string tail = " (" + std::to_string(count) + "/4)";
        ASSERT_GT(line.size(), tail.size()) << line;
        EXPECT_EQ(line.substr(line.size() - tail.size()), tail) << line;
        seen.insert(line.substr(0, line.size() - tail.size()));
    }
    const std::set<std::string> expected = {
        "frame 1 rendered: " + out_ + "/1.png", "frame 2 rendered: " + out_ + "/2.png",
        "frame 3 rendered: " + out_ + "/3.png", "frame 4 rendered: " + out_ + "/4.png"};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(count, 4);
}

TEST_F(BatchProgress, ATerminalGetsABarRedrawnInPlaceThatNeverWraps) {
    for (unsigned short columns : {80, 50}) {
        const render_run run = run_render_on_terminal({"-l", "2", in_, out_}, columns);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err.find("rendered:"), std::string::npos) << "no log lines on a terminal";
        ASSERT_GE(run.err.size(), 2u);
        EXPECT_EQ(run.err.substr(run.err.size() - 2), "\r\n") << "the bar's line is ended";
        const std::string erase = "\r\x1b[K";
        std::vector<std::string> drawn;
        for (std::size_t at = run.err.find(erase); at != std::string::npos;) {
            const std::size_t next = run.err.find(erase, at + erase.size());
            std::string text = run.err.substr(at + erase.size(), next - at - erase.size());
            if (next == std::string::npos) text.resize(text.size() - 2);
            drawn.push_back(text);
            at = next;
        }
        ASSERT_EQ(drawn.size(), 5u) << "drawn at the start and after each of the 4 frames";
        for (const std::string& text : drawn)
            EXPECT_LT(text.size(), columns) << text;
        EXPECT_NE(drawn.front().find("0/4   0%"), std::string::npos) << drawn.front();
        EXPECT_NE(drawn.back().find("4/4 100%"), std::string::npos) << drawn.back();
        EXPECT_NE(drawn.back().find("/min"), std::string::npos) << drawn.back();
    }
}

TEST_F(BatchProgress, AnErrorOnATerminalGetsALineOfItsOwn) {
    std::ofstream(in_ + "/frame004.png", std::ios::trunc) << "damaged";
    const render_run run = run_render_on_terminal({"-l", "2", in_, out_}, 80);
    EXPECT_EQ(run.status, 1);
    const std::string message =
        "\r\x1b[Kkorvel-render: Unable to load, " + in_ + "/frame004.png\r\n";
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
}

TEST_F(BatchProgress, AReaderThatGoesAwayDoesNotStopTheRender) {
    EXPECT_EQ(run_render_into_closed_pipe({"-l", "2", in_, out_}), 0);
    EXPECT_EQ(folder_names(out_), (std::set<std::string>{"1.png", "2.png", "3.png", "4.png"}));
}

TEST_F(BatchProgress, QuietShowsOnlyErrors) {
    const render_run good = run_render({"-q", "-l", "2", in_, out_});
    EXPECT_EQ(good.status, 0);
    EXPECT_EQ(good.err, "");
    const render_run on_terminal = run_render_on_terminal({"--quiet", "-l", "2", in_, out_}, 80);
    EXPECT_EQ(on_terminal.status, 0);
    EXPECT_EQ(on_terminal.err, "");
    const render_run failed = run_render({"-q", "-l", "9", in_, out_});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.err, "korvel-render: Layers per Frame is larger than the number of images.\n");
}

} // namespace
} // namespace korvel::test
