// What korvel-render leaves and says: status 0 and nothing but the frames after a good render,
// status 1 with the job's one-line message after any failure, and no temporary file either way.
#include "render_process.h"
#include "test_pictures.h"
#include "work_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace korvel::test {
namespace {

bool mentions(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Every name in the folder is a finished frame (no temporary or other file).
void expect_only_frames(const std::string& folder) {
    for (const auto& [name, bytes] : read_folder(folder)) {
        EXPECT_TRUE(name.size() > 4 && name.substr(name.size() - 4) == ".png") << name;
        EXPECT_GT(read_png_rgba(folder + "/" + name).width, 0) << name << " is no whole PNG";
    }
}

TEST(BatchExitStatus, SuccessIsZeroAndLeavesNothingButTheFrames) {
    const work_folder work;
    const std::string in = work.make_folder("in");
    write_frames(in, 10, 24, 16, 4);
    const std::string out = work.make_folder("out");
    const std::string cwd = work.make_folder("cwd");
    const folder_contents inputs = read_folder(in);

    const render_run run = run_render({"-l", "3", in, out}, cwd);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(read_folder(in), inputs);
    EXPECT_TRUE(read_folder(cwd).empty()) << "no job file or anything else in the working folder";
    const folder_contents frames = read_folder(out);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames.begin()->first, "01.png");
    EXPECT_EQ(frames.rbegin()->first, "03.png");
    expect_only_frames(out);
}

TEST(BatchExitStatus, ADamagedLayerIsOneWithUnableToLoadAndKeepsTheFramesBefore) {
    const work_folder work;
    const std::string in = work.make_folder("in");
    write_frames(in, 9, 24, 16, 4);
    std::ofstream(in + "/frame005.png", std::ios::trunc) << "not a picture";
    const std::string out = work.make_folder("out");

    const render_run run = run_render({"-q", "-l", "3", in, out});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "korvel-render: Unable to load, " + in + "/frame005.png\n");
    const folder_contents frames = read_folder(out);
    ASSERT_EQ(frames.size(), 1u) << "frame 2 holds the damaged layer, frame 3 is never reached";
    EXPECT_EQ(frames.begin()->first, "1.png");
    expect_only_frames(out);
}

TEST(BatchExitStatus, AFrameThatCannotBeSavedIsOneWithUnableToSaveAndNoTemporaryFile) {
    const work_folder work;
    const std::string in = work.make_folder("in");
    write_frames(in, 6, 24, 16, 4);
    const std::string out = work.make_folder("out");
    // A folder in the frame's place: renaming the finished file onto it fails, even for root.
    work.make_folder("out/2.png");

    const render_run run = run_render({"-l", "2", in, out});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(mentions(run.err, "korvel-render: Unable to save, " + out + "/2.png\n")) << run.err;
    const folder_contents left = read_folder(out);
    EXPECT_EQ(left.count("1.png"), 1u);
    EXPECT_EQ(left.at("2.png"), "<folder>");
    for (const auto& [name, bytes] : left)
        EXPECT_FALSE(mentions(name, ".part")) << name;
}

struct failure_case {
    std::string description;
    std::vector<std::string> args; // "IN" and "OUT" stand for the folders
    std::string message;
};

TEST(BatchExitStatus, RendersThatCannotStartAreOneWithAOneLineReason) {
    const work_folder work;
    const std::string in = work.make_folder("in");
    write_frames(in, 4, 8, 8, 4);
    const std::string damaged_last = work.make_folder("damaged_last");
    write_frames(damaged_last, 3, 8, 8, 4);
    std::ofstream(damaged_last + "/zzz.png") << "not a picture";
    const std::string out = work.make_folder("out");
    const std::string missing = work.path("missing");
    const std::vector<failure_case> cases = {
        {"missing input folder",
         {missing, out},
         "korvel-render: Unable to read the input folder, " + missing +
             "/: No such file or directory\n"},
        {"input is a file",
         {in + "/frame001.png", out},
         "korvel-render: Unable to read the input folder, " + in +
             "/frame001.png/: Not a directory\n"},
        {"missing output folder",
         {in, missing},
         "korvel-render: Unable to use the output folder, " + missing +
             "/: No such file or directory\n"},
        {"more layers than inputs",
         {"-l", "5", in, out},
         "korvel-render: Layers per Frame is larger than the number of images.\n"},
        {"the probe entry is damaged",
         {"-l", "1", damaged_last, out},
         "korvel-render: Unable to get the resolution from a ''*.png'' file.\n"},
    };
    for (const failure_case& c : cases) {
        const render_run run = run_render(c.args);
        EXPECT_EQ(run.status, 1) << c.description;
        EXPECT_EQ(run.err, c.message) << c.description;
    }
    EXPECT_TRUE(read_folder(out).empty());
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST(BatchExitStatus, AnEmptyInputFolderIsOneBecauseItHasFewerImagesThanLayers) {
    const work_folder work;
    const std::string in = work.make_folder("in");
    const std::string out = work.make_folder("out");
    const render_run run = run_render({"-l", "1", in, out});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "korvel-render: Layers per Frame is larger than the number of images.\n");
}

} // namespace
} // namespace korvel::test
