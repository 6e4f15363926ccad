// The window program's scenarios, one table: each row makes input frames (and damage), runs the
// program once as a user would under a short script (see program_driver.h) and names the message
// boxes the run must show and what else it must give. The frames are compared with the reference
// compositor's; the scripts check fields, status bar and job file on the way.
#include "program_driver.h"

#include "tests/support/png_file_damage.h"
#include "tests/support/process_watch.h"
#include "tests/support/reference_blur.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <map>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace korvel::window_test {
namespace {

namespace fs = std::filesystem;
using outcome = std::optional<std::string>;

// A row: its terms, the script and every message box the run must show, as "title / text". The
// terms: the row's name; "count[ WxH][ rgb][ noise][ latin1]" for the input frames (8 x 6 with
// alpha by default; latin1: bytes that are no UTF-8 in their names); damage done before the run,
// "kind:input" (the script's "act=kind:input" during it); "frames=N" expected in the output
// folder (-1: any number of whole frames from the first) made with "layers=L" (3 by default),
// "alpha=A" and "reverse", or with "groups=" of each frame's alpha levels and its layers' inputs
// ("255/1/2/3,..."); "job-left" by a render closed in its middle; a "second" program refused
// while the first waits at its gate (until <root>/go exists). Folders and frames are named with
// spaces, accents and a character outside the basic plane, as users name them.
struct scenario {
    std::string terms, script;
    std::vector<std::string> messages;
    std::string name() const { return terms.substr(0, terms.find(' ')); }
};

void PrintTo(const scenario& row, std::ostream* out) {
    *out << row.name();
}

const char* const JOB_FILE = "/Korvel Temp.tmp";

std::string padded(int number, int count) { // filled with zeros to the digits of count
    std::string digits = std::to_string(number);
    const std::size_t width = std::to_string(count).size();
    return digits.size() < width ? digits.insert(0, width - digits.size(), '0') : digits;
}

// The files in a folder, sorted, but for folders.
std::string file_names(const std::string& folder) {
    std::string names;
    for (const std::string& name : test::folder_names(folder))
        if (!fs::is_directory(folder + "/" + name)) names += (names.empty() ? "" : ",") + name;
    return names;
}

class window_scenario : public ::testing::TestWithParam<scenario> {
protected:
    void SetUp() override {
        folders_ = {scratch_.root(), scratch_.make_folder("entrée des images \xF0\x9F\x8E\x9E"),
                    scratch_.make_folder("sortie à voir")};
        std::istringstream words(GetParam().terms);
        words.ignore(GetParam().terms.size(), ' ') >> count_;
        std::vector<std::string> damage;
        for (std::string word; words >> word;) {
            const std::size_t equals = word.find('=');
            if (std::sscanf(word.c_str(), "%dx%d", &width_, &height_) == 2) continue;
            if (equals == word.npos && word.find(':') != word.npos)
                damage.push_back(word);
            else
                expect_[word.substr(0, equals)] =
                    equals == word.npos ? "" : word.substr(equals + 1);
        }
        for (int n = 1; n <= count_; ++n) {
            names_.push_back(input(n).substr(folders_.in.size() + 1));
            images_.push_back(
                expect_.contains("noise")
                    ? test::noise_image(width_, height_, n)
                    : test::pattern_image(width_, height_, n, !expect_.contains("rgb")));
            ASSERT_TRUE(test::write_png(input(n), images_.back(), !expect_.contains("rgb")));
        }
        for (const std::string& each : damage)
            ASSERT_TRUE(act(each)) << "could not " << each;
    }

    std::string input(int n) const {
        return folders_.in + "/clé f" + padded(n, std::max(count_, 1000)) +
               (expect_.contains("latin1") ? " fr\xE9me\xFF.png" : ".png");
    }

    std::string expected(const std::string& key, const std::string& otherwise = "") const {
        const auto found = expect_.find(key);
        return found == expect_.end() ? otherwise : found->second;
    }

    // The second program is started while the first waits at its gate, and must be refused.
    program_run run() {
        const auto own = [this](const std::string& verb, const std::string& arg) {
            return step(verb, arg);
        };
        program_child first(folders_, GetParam().script, own, folders_.root + "/errors.txt",
                            std::chrono::seconds(120));
        if (!expect_.contains("second")) return first.finish();
        EXPECT_TRUE(test::wait_for_pipe_opener(first.pid(), std::chrono::seconds(60)));
        program_child second(folders_, "ok", own, folders_.root + "/second-errors.txt",
                             std::chrono::seconds(60));
        expect_end(second.finish(), 1,
                   {"Error! / Korvel is already running in this working folder; close it first."});
        scratch_.write("go", "");
        return first.finish();
    }

    bool act(const std::string& what);
    outcome step(const std::string& verb, const std::string& arg);
    std::string job_bytes(const std::string& job) const;
    test::rgba_image expected_frame(int frame) const;
    void expect_end(const program_run& run, int exit_code,
                    const std::vector<std::string>& messages) const;
    void expect_frames() const;

    test::scratch_folder scratch_;
    program_folders folders_;
    int count_ = 0, width_ = 8, height_ = 6;
    std::map<std::string, std::string> expect_;
    std::vector<std::string> names_;
    std::vector<test::rgba_image> images_;
    std::vector<int> gates_; // inputs that are named pipes until released
    std::size_t released_ = 0;
};

// Damage and faults: "kind:N" for input N, or the kind alone. A gate is an input that arrives
// only when released, as from a slow share: a named pipe until then, which holds the render.
bool window_scenario::act(const std::string& what) {
    const std::size_t colon = what.find(':');
    const std::string kind = what.substr(0, colon);
    const int n = colon == std::string::npos ? 0 : std::stoi(what.substr(colon + 1));
    const std::string path = input(n),
                      spare = folders_.root + "/gate-" + std::to_string(gates_.size());
    const std::string kept = scratch_.make_folder("elsewhere") + path.substr(path.rfind('/'));
    std::error_code error;
    if (kind == "gate") gates_.push_back(n);
    if (kind == "gate")
        return std::rename(path.c_str(), (spare + ".waiting").c_str()) == 0 &&
               mkfifo(path.c_str(), 0600) == 0 &&
               link(path.c_str(), (spare + ".pipe").c_str()) == 0;
    if (kind == "data") return test::cut_inside_image_data(path);
    if (kind == "huge") return test::claim_picture_size(path, 32767, 32767);
    if (kind == "header") fs::resize_file(path, 20, error); // cut inside its header
    if (kind == "half") fs::resize_file(path, fs::file_size(path) / 2, error);
    if (kind == "delete" || kind == "folder" || kind == "dangling" || kind == "restore")
        fs::remove(path, error);
    if (kind == "folder") fs::create_directory(path, error);
    if (kind == "dangling") fs::create_symlink(folders_.root + "/nothing.png", path, error);
    if (kind == "restore") return test::write_png(path, images_[n - 1], !expect_.contains("rgb"));
    if (kind == "link" || kind == "folder-link") fs::rename(path, kept, error);
    if (kind == "link") fs::create_symlink(kept, path, error);
    if (kind == "folder-link")
        fs::create_directory_symlink(fs::path(kept).parent_path(), path, error);
    if (kind == "block")
        fs::create_directory(folders_.out + "/" + padded(n, count_) + ".png", error);
    if (kind == "remove-out" || kind == "clear-out") fs::remove_all(folders_.out, error);
    if (kind == "clear-out") fs::create_directory(folders_.out, error);
    if (kind == "remove-job") return fs::remove(folders_.root + JOB_FILE, error);
    if (kind != "full-disk" && kind != "disk-space") return !error;
    // On a full disk no file of the process grows past 1 KiB: writes beyond fail.
    std::signal(SIGXFSZ, SIG_IGN);
    const rlim_t most = kind == "full-disk" ? 1024 : RLIM_INFINITY;
    const rlimit limit{most, RLIM_INFINITY};
    return setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

// The scenario's steps, in the child: act=, release (the next gate), file= (wait for it), saving
// (wait for a frame being written), gone=, files= (the output folder's files) and job= (the job
// file's bytes).
outcome window_scenario::step(const std::string& verb, const std::string& arg) {
    const std::string job = folders_.root + JOB_FILE;
    if (verb == "act") return act(arg) ? "" : "could not " + arg;
    if (verb == "release" && released_ < gates_.size()) {
        // The real file takes the pipe's place before a waiting reader is sent its bytes through
        // the pipe: the reader finds the frame whether it goes on with the pipe or opens anew.
        const std::string spare = folders_.root + "/gate-" + std::to_string(released_);
        const std::string entry = input(gates_[released_++]),
                          bytes = test::read_file(spare + ".waiting");
        if (std::rename((spare + ".waiting").c_str(), entry.c_str()) != 0) return "no " + entry;
        std::signal(SIGPIPE, SIG_IGN); // a reader that gives up early must not end the process
        const int waiting = open((spare + ".pipe").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        const bool sent = waiting < 0 ||
                          write(waiting, bytes.data(), bytes.size()) == ssize_t(bytes.size()) ||
                          errno == EPIPE;
        if (waiting >= 0) close(waiting);
        return sent ? "" : "could not send " + entry;
    }
    if (verb == "file") return done_when(test::path_exists(arg));
    if (verb == "saving") // a frame's temporary file is there
        return done_when(file_names(folders_.out).find(".part") != std::string::npos);
    if (verb == "gone") return test::path_exists(arg) ? arg + " is there" : "";
    if (verb == "files") return file_names(folders_.out) == arg ? "" : file_names(folders_.out);
    if (verb == "job") {
        const std::string bytes = test::path_exists(job) ? test::read_file(job) : "none";
        return bytes == (arg == "none" ? arg : job_bytes(arg)) ? "" : "job file " + bytes;
    }
    return "no step " + verb;
}

// "width,height,count[,first-last]": no resolution for width 0; names of inputs first to last.
std::string window_scenario::job_bytes(const std::string& job) const {
    int width = 0, height = 0, count = 0, first = 0, last = -1;
    std::sscanf(job.c_str(), "%d,%d,%d,%d-%d", &width, &height, &count, &first, &last);
    std::string bytes = "\xEF\xBB\xBF\r\n";
    if (width > 0)
        bytes += "[Resolution]\r\nWidth = " + std::to_string(width) +
                 "\r\nHeight = " + std::to_string(height) + "\r\n";
    bytes += "[Image Count]\r\nTotal Images = " + std::to_string(count) + "\r\n";
    if (first > 0) bytes += "[File Names]\r\n";
    for (int n = first; n > 0 && n <= last; ++n)
        bytes += std::to_string(n - first + 3) + " = " + names_[n - 1] + "\r\n";
    return bytes;
}

test::rgba_image window_scenario::expected_frame(int frame) const {
    const int layers = std::stoi(expected("layers", "3"));
    std::vector<int> group{std::stoi(expected("alpha", "255"))};
    for (int layer = 1; layer <= layers; ++layer)
        group.push_back((frame - 1) * layers + layer);
    if (expect_.contains("reverse")) std::reverse(group.begin() + 1, group.end());
    std::istringstream groups(expected("groups"));
    for (std::string each; frame-- > 0 && std::getline(groups, each, ',');) {
        group.clear();
        std::istringstream numbers(each);
        for (std::string number; std::getline(numbers, number, '/');)
            group.push_back(std::stoi(number));
    }
    std::vector<const test::rgba_image*> images;
    for (auto n = group.begin() + 1; n != group.end(); ++n)
        images.push_back(&images_.at(*n - 1));
    return test::composite(width_, height_, images, !expect_.contains("rgb"), group[0]);
}

// The run ended with the exit code after its whole script, showed those messages, with no step
// failed, no sanitizer report and no job file left behind (unless a render was left).
void window_scenario::expect_end(const program_run& run, int exit_code,
                                 const std::vector<std::string>& messages) const {
    EXPECT_FALSE(run.timed_out) << "the program was killed after the time limit";
    EXPECT_EQ(run.exit_code, exit_code) << "signal " << run.signal;
    EXPECT_EQ(run.all("done").size(), 1u) << "the run ended before its script was complete";
    EXPECT_EQ(run.all("fail"), std::vector<std::string>{});
    std::vector<std::string> expected;
    for (const std::string& message : messages)
        expected.push_back(expand(message, folders_));
    EXPECT_EQ(run.all("message"), expected);
    for (const char* mark : {"Sanitizer", "runtime error:"})
        EXPECT_EQ(run.errors.find(mark), std::string::npos);
    EXPECT_TRUE(exit_code != 0 || expect_.contains("job-left") ||
                !test::path_exists(folders_.root + JOB_FILE));
    if (HasFailure())
        std::cerr << "--- its standard error ---\n"
                  << run.errors << "--- its reports ---\n"
                  << run.reports;
}

// The output folder holds the frames expected and nothing else (but a frame being saved then).
void window_scenario::expect_frames() const {
    int count = std::stoi(expected("frames", "0"));
    const std::string files = file_names(folders_.out);
    if (count < 0) count = static_cast<int>(std::count(files.begin(), files.end(), ',') + 1);
    std::string names;
    for (int frame = 1; frame <= count; ++frame) {
        const std::string name = padded(frame, count_) + ".png";
        names += (frame > 1 ? "," : "") + name;
        const test::png_read file = test::read_png(folders_.out + "/" + name);
        EXPECT_TRUE(file.ok && file.colour_type == 6 && file.bit_depth == 8 && !file.interlace &&
                    file.image == expected_frame(frame))
            << name << " is not the frame expected";
    }
    EXPECT_EQ(files, names);
}

const char* const COMPLETED = "Korvel / Motion blur render completed!.";
const char* const QUIT = "Quit? / Are you sure you want to quit?.";
const char* const NO_FOLDER = "WAIT! / Please select an Input and Output folder.";
const char* const NO_RESOLUTION = "Error! / Unable to get the resolution from a ''*.png'' file.";
const char* const BAD_LAYERS = "Error! / Layers per Frame must be a whole number of at least 1.";
const char* const TOO_MANY = "Error! / Layers per Frame is larger than the number of images.";
const char* const NO_JOB_FILE = "Error! / Unable to open a temporary file.";
const char* const JOB_FILE_HELD = "Error! / Unable to create a temporary file.";
const char* const SAVE_2 = "Error! / Unable to save, <out>/2.png";

std::string unable_to_load(int input) {
    char name[32];
    std::snprintf(name, sizeof name, "f%04d.png", input);
    return std::string("Error Loading Image! / Unable to load, <in>/clé ") + name;
}

const std::string LOAD_5 = unable_to_load(5);
const std::string TITLE = "Korvel v0.8", RENDER = "in; out; L=3; render; ";
// Frame 1 is saved and the render waits at the gated input 5, in frame 2.
const std::string HELD = RENDER + "file=<out>/1.png; held; ";
const std::string UP_AGAIN = "ok; idle; state==0; ";
// Beyond any decoding ahead on any number of cores: the render meets damage to AHEAD - 3 itself.
const int AHEAD = 3 * (static_cast<int>(std::thread::hardware_concurrency()) / 3 + 8);
const std::string VICTIM = std::to_string(AHEAD - 3);

const scenario SCENARIOS[] = {
    {"DefaultFieldsMakeTwoFramesOf100Layers 250 frames=2 layers=100",
     "status==Total Images: 0; in; status==Total Images: 250; out; in-field==<in>/; "
     "out-field==<out>/; render; ok; idle; state==0; job=8,6,250,101-200; progress==40,80; "
     "titles==" +
         TITLE + " - 40%," + TITLE + " - 80%," + TITLE,
     {COMPLETED}},
    {"CancelAnsweredNoRendersEveryFrame 9 gate:5 gate:8 frames=3",
     HELD +
         "render; state==0; release; no; file=<out>/2.png; "
         "state==1; held; release; " +
         UP_AGAIN + "progress==33,67,100",
     {QUIT, COMPLETED}},
    {"CancelAnsweredYesKeepsTheFramesBefore 9 gate:5 frames=3",
     HELD +
         "render; release; yes; idle; state==0; files=1.png; "
         "render; ok; idle; progress==33,0,33,67,100; titles==" +
         TITLE + " - 33%," + TITLE + "," + TITLE + " - 33%," + TITLE + " - 67%," + TITLE +
         " - 100%," + TITLE,
     {QUIT, COMPLETED}},
    // A scan counts every entry named like a frame and probes the last one: without a resolution
    // a job draws nothing. Each scan writes the job file afresh.
    {"ScansCountEveryEntryAndProbeTheLast 4 latin1 header:4 frames=2 layers=2",
     "in=<out>; ok; status==Total Images: 0; job=0,0,0; in; ok; status==Total Images: 4; "
     "job=0,0,4; out; L=2; render; " +
         UP_AGAIN +
         "act=restore:4; act=huge:4; in; ok; "
         "act=restore:4; act=folder:5; in; ok; status==Total Images: 5; act=delete:5; in; "
         "job=8,6,4; render; ok; idle",
     {NO_RESOLUTION, NO_RESOLUTION, NO_RESOLUTION, NO_RESOLUTION, NO_RESOLUTION, COMPLETED}},
    // "Rev." is read after each layer, "Alpha Levels" once per frame; no scan while a job runs.
    {"FieldsChangedMidFrameSteerTheLayersThatFollow 9 gate:5 frames=3 "
     "groups=255/1/2/3,255/4/5/4,100/9/8/7",
     RENDER + "held; click-in; ok; status==Total Images: 9; in-field==<in>/; flag==1; rev; "
              "A=100; release; ok; idle; job=8,6,9,7-9",
     {JOB_FILE_HELD, COMPLETED}},
    // A render ends at the first layer it cannot load; a link to a frame is the frame.
    {"LayersThatCannotBeLoadedEndTheJob 9 link:2 header:5 frames=2",
     RENDER +
         "ok; idle; act=restore:5; act=data:5; render; ok; idle; act=restore:5; "
         "act=huge:5; render; ok; idle; act=restore:5; act=folder-link:5; render; ok; "
         "idle; act=restore:5; act=dangling:8; render; ok; idle; act=folder:8; render; " +
         UP_AGAIN,
     {LOAD_5, LOAD_5, LOAD_5, LOAD_5, unable_to_load(8), unable_to_load(8)}},
    {"LayersDamagedAheadOfTheRenderEndTheJob " + std::to_string(AHEAD) +
         " gate:5 frames=" + std::to_string(AHEAD / 3 - 2),
     RENDER + "file=<out>/01.png; held; act=delete:" + VICTIM + "; release; " + UP_AGAIN +
         "act=restore:" + VICTIM + "; act=gate:5; render; held; act=half:" + VICTIM +
         "; release; " + UP_AGAIN,
     {unable_to_load(AHEAD - 3), unable_to_load(AHEAD - 3)}},
    {"FramesThatCannotBeSavedEndTheJob 9 block:2 frames=1",
     "in; out-field=<root>/missing/; L=3; render; " + UP_AGAIN +
         "gone=<root>/missing; out; render; " + UP_AGAIN,
     {"Error! / Unable to save, <root>/missing/1.png", SAVE_2}},
    // Faults in the middle of a render: a full disk cuts a frame short, the output folder goes.
    {"FramesCutShortOrWithoutAFolderAreNotKept 9 32x24 noise gate:5",
     HELD + "act=full-disk; release; " + UP_AGAIN +
         "files=1.png; act=disk-space; act=gate:5; act=clear-out; " +
         "render; file=<out>/1.png; held; act=remove-out; release; " + UP_AGAIN + "gone=<out>",
     {SAVE_2, SAVE_2}},
    // A second program is refused and leaves the job file alone. The job holds the job file from
    // its start, so removing it stops nothing; the next start misses it until the next scan.
    {"ASecondProgramIsRefusedAndARemovedJobFileIsMissed 9 gate:5 frames=3 second",
     HELD + "file=<root>/go; job=8,6,9; act=remove-job; release; ok; idle; job=none; render; " +
         UP_AGAIN + "in; render; ok; idle; job=8,6,9,7-9",
     {COMPLETED, NO_JOB_FILE, COMPLETED}},
    {"ReverseOrderWithAlphaLevelsBelow255 10 frames=3 alpha=100 reverse",
     "rev; in; out; L=3; A=100; render; ok; idle; progress==30,60,90",
     {COMPLETED}},
    {"PlainRgbInputs 6 rgb frames=6 groups=255/1/2/3,255/4/5/6,255/3,255/4,255/5,255/6",
     "in; out; L=1; render; ok; idle; L=3; render; ok; idle",
     {COMPLETED, COMPLETED}},
    {"ClosingWhileTheRenderWaitsForAnInputEndsAtOnce 9 gate:5 frames=1 job-left",
     HELD + "flag==1",
     {}},
    {"ClosingMidRenderLeavesOnlyWholeFrames 30 480x360 noise frames=-1 job-left",
     "in; out; L=3; render; file=<out>/01.png; saving; flag==1",
     {}},
    // Starts that cannot render leave the button up; a typed input folder was never scanned.
    {"StartsThatCannotRender 6 frames=2",
     "out; render; ok; state==0; flag==0; in; out=; out-field==; render; ok; state==0; "
     "flag==0; out; L=0; render; " +
         UP_AGAIN + "L=-3; render; " + UP_AGAIN + "L=many; render; " + UP_AGAIN + "L=7; render; " +
         UP_AGAIN + "act=remove-job; in-field=<in>/; L=3; render; " + UP_AGAIN +
         "in; render; enter; idle; state==0; titles==" + TITLE + " - 50%," + TITLE + " - 100%," +
         TITLE,
     {NO_FOLDER, NO_FOLDER, BAD_LAYERS, BAD_LAYERS, BAD_LAYERS, TOO_MANY, NO_JOB_FILE, COMPLETED}},
};

TEST_P(window_scenario, Runs) {
    const program_run run = this->run();
    expect_end(run, 0, GetParam().messages);
    expect_frames();
    // Closed in the middle of a render, the program keeps every frame whose progress it showed.
    const auto shown = run.all("progress");
    if (!expect_.contains("job-left") || shown.empty() || shown.back().empty()) return;
    const int last = std::stoi(shown.back().substr(shown.back().rfind(',') + 1));
    const int frames = count_ / std::stoi(expected("layers", "3"));
    EXPECT_LE((last * frames + 50) / 100, static_cast<int>(test::folder_names(folders_.out).size()))
        << "progress " << last << "% was shown for frames that are not on disk";
}

INSTANTIATE_TEST_SUITE_P(program, window_scenario, ::testing::ValuesIn(SCENARIOS),
                         [](const auto& info) { return info.param.name(); });

} // namespace
} // namespace korvel::window_test
