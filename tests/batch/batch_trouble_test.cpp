// korvel-render meeting trouble. A fault while it runs (a full disk, the output folder taken away,
// a layer deleted, cut short or no picture) ends it with status 1 and one line saying what, Ctrl+C
// or SIGTERM with 130 or 143 once the frames under way are saved: the frames left are the first,
// byte for byte an undisturbed run's, with no temporary file, and once the fault is mended a rerun
// completes. Killed outright at any moment it leaves no torn frame, and the next run clears what
// it left. Folders as users have them render, or end with one clear line before any frame.
#include "batch/batch_render.h"
#include "tests/batch/render_process.h"
#include "tests/support/png_file_damage.h"
#include "tests/support/process_watch.h"
#include "tests/support/test_png.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace korvel::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// What is wrong with a render of eight inputs before it starts, and what befalls it while it waits
// for input 3; what happens to an input happens to the seventh.
enum class before {
    nothing,
    full_disk,
    no_picture,
    huge,
    folder,
    dangling_link,
    odd_names,
    no_output
};
enum class midway { nothing, output_gone, deleted, cut_short, sigint, sigterm };

struct trouble_row {
    const char* name;
    const char* layers;
    int frames_left; // -1: some, not all
    // The last line of standard error after "korvel-render: ", if any is expected, with the cause
    // after the window's text; "{in}" and "{out}" stand for the folders, "{left}" for the number
    // of frames left.
    std::string last_line;
    before wrong = before::nothing;
    midway event = midway::nothing;
    int status = EXIT_RENDER_FAILED;
};

const std::string LOAD_SEVENTH = "Unable to load, {in}/frame007.png: ";
const char* const STOPPED = "stopped after saving {left} of 8 frames";

// The three noise inputs last are larger and give the canvas its size: a frame of the others is
// about 12 KB, one of noise 49. While the render waits for input 3 with L = 2, frame 1 is handed
// over; with L = 4, none. A signal is seen at the next check, or later under the thread checker.
const trouble_row faults[] = {
    {"a full disk", "1", 5, "Unable to save, {out}/6.png: File too large", before::full_disk},
    {"a layer that is no picture", "2", 3, LOAD_SEVENTH + "not a PNG file", before::no_picture},
    {"a layer too large", "2", 3, LOAD_SEVENTH + "larger than the 1 GiB pixel limit", before::huge},
    {"the output folder taken away", "4", 0,
     "Unable to save, {out}/1.png: No such file or directory", before::nothing,
     midway::output_gone},
    {"a layer deleted", "2", 3, LOAD_SEVENTH + "No such file or directory", before::nothing,
     midway::deleted},
    {"a layer cut short", "2", 3, LOAD_SEVENTH + "cut short", before::nothing, midway::cut_short},
    {"Ctrl+C", "1", -1, STOPPED, before::nothing, midway::sigint, EXIT_SIGNAL_BASE + SIGINT},
    {"SIGTERM", "1", -1, STOPPED, before::nothing, midway::sigterm, EXIT_SIGNAL_BASE + SIGTERM},
};

const trouble_row hostile_folders[] = {
    {"spaces, accents, astral characters and bytes that are no UTF-8", "2", 4, "",
     before::odd_names, midway::nothing, EXIT_RENDERED},
    {"a folder named like a frame", "2", 3, LOAD_SEVENTH + "Is a directory", before::folder},
    {"a dangling link named like a frame", "2", 3, LOAD_SEVENTH + "No such file or directory",
     before::dangling_link},
    {"no output folder", "2", 0,
     "Unable to use the output folder, {out}/: No such file or directory", before::no_output},
};

void write_inputs(const std::string& folder) {
    write_frames(folder, 5, 64, 48, true);
    for (std::uint32_t i = 6; i <= 8; ++i)
        write_png(folder + "/frame00" + std::to_string(i) + ".png", noise_image(128, 96, i), true);
}

// Points in and out at the folders the render is to use.
void prepare(before wrong, std::string& in, std::string& out) {
    const std::string seventh = in + "/frame007.png", elsewhere = in + "/../elsewhere";
    if (wrong == before::no_picture) std::ofstream(seventh) << "not a picture";
    if (wrong == before::huge) claim_picture_size(seventh, 32767, 32767);
    if (wrong == before::folder || wrong == before::dangling_link) fs::remove(seventh);
    if (wrong == before::folder) fs::create_directory(seventh);
    if (wrong == before::dangling_link) fs::create_symlink(elsewhere, seventh);
    if (wrong == before::no_output) out = elsewhere;
    if (wrong != before::odd_names) return;
    const std::string odd = " \xC3\xA9\xF0\x9F\x8E\x9E \xFF\xFE";
    for (const std::string& name : folder_names(in))
        fs::rename(in + "/" + name, in + "/" + odd + name);
    fs::rename(in, in + odd);
    fs::create_directory(out += odd);
    in += odd;
}

// A stopped render has left its open of the pipe, to make it again when continued: it then finds
// the file back, and the signal at its next check. The signal goes to the thread running the job,
// as the thread checker hands a signal over only when the thread it landed on next calls into the
// system, which a pool thread asleep may not do before the render ends.
void bring_about(midway event, pid_t render, const std::string& in, const std::string& out) {
    const std::string seventh = in + "/frame007.png";
    if (event == midway::deleted) fs::remove(seventh);
    if (event == midway::cut_short) fs::resize_file(seventh, fs::file_size(seventh) / 2);
    if (event == midway::output_gone) fs::rename(out, in + "/../elsewhere");
    int stopped = 0;
    if (event >= midway::sigint && kill(render, SIGSTOP) == 0) waitpid(render, &stopped, WUNTRACED);
    if (event >= midway::sigint)
        syscall(SYS_tgkill, render, render, event == midway::sigint ? SIGINT : SIGTERM);
}

// The input becomes a pipe until the gate opens. The render meets the pipe first in the loader
// that tries the built-in formats: let out of its open by a writer that sends nothing, it gives up
// and the next loader opens the name afresh, which by then is the file's again.
struct gate {
    std::string path, bytes = read_file(path);
    bool closed = !bytes.empty() && unlink(path.c_str()) == 0 && mkfifo(path.c_str(), 0600) == 0;

    ~gate() {
        if (closed) open();
    }
    bool open() {
        closed = false;
        const std::string held = path + ".held";
        if (link(path.c_str(), held.c_str()) != 0) return false;
        std::ofstream(path + ".back", std::ios::binary) << bytes;
        fs::rename(path + ".back", path);
        const int writer = ::open(held.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
        unlink(held.c_str());
        return writer >= 0 && close(writer) == 0;
    }
};

std::vector<std::pair<std::string, std::string>> contents(const std::string& folder) {
    std::vector<std::pair<std::string, std::string>> entries;
    for (const std::string& name : folder_names(folder))
        entries.emplace_back(name, read_file(folder + "/" + name));
    return entries;
}

void run_row(const trouble_row& row, bool rerun) {
    SCOPED_TRACE(row.name);
    const scratch_folder work;
    std::string in = work.make_folder("in"), out = work.make_folder("out");
    write_inputs(in);
    run_render({"-q", "-l", row.layers, in, work.make_folder("reference")});
    prepare(row.wrong, in, out);
    const bool held = row.event != midway::nothing;
    gate third{held ? in + "/frame003.png" : ""};
    ASSERT_EQ(third.closed, held);
    render_process render({"-l", row.layers, in, out},
                          {row.wrong == before::full_disk ? 30000 : 0});
    if (held) {
        ASSERT_TRUE(wait_for_pipe_opener(render.pid(), std::chrono::seconds(60)));
        bring_about(row.event, render.pid(), in, out);
        EXPECT_TRUE(third.open() || row.event >= midway::sigint);
        if (row.event >= midway::sigint) kill(render.pid(), SIGCONT);
    }
    const render_result result = render.finish();

    EXPECT_EQ(result.status, row.status) << result.err;
    auto left = contents(row.event == midway::output_gone ? work.path("elsewhere") : out);
    auto expected = contents(work.path("reference"));
    expected.resize(row.frames_left < 0 ? std::min(left.size(), expected.size() - 1)
                                        : std::size_t(row.frames_left));
    EXPECT_TRUE(left == expected) << "not the first " << expected.size() << " frames, whole";
    std::string line = "korvel-render: " + row.last_line + "\n";
    for (const auto& [mark, text] : {std::pair{"{in}", in}, std::pair{"{out}", out},
                                     std::pair{"{left}", std::to_string(left.size())}})
        if (const std::size_t at = line.find(mark); at != std::string::npos)
            line.replace(at, std::string(mark).size(), text);
    EXPECT_TRUE(row.last_line.empty() || result.err == line || result.err.ends_with("\n" + line))
        << result.err;
    if (!rerun) return;
    write_inputs(in);
    fs::create_directory(out);
    EXPECT_EQ(run_render({"-q", "-l", row.layers, in, out}).status, EXIT_RENDERED);
    EXPECT_TRUE(contents(out) == contents(work.path("reference"))) << "the rerun did not complete";
}

TEST(BatchFaults, EndWithOneLineAfterWholeFramesAndAMendedRerunCompletes) {
    for (const trouble_row& row : faults)
        run_row(row, true);
}

TEST(BatchHostileFolder, RendersOrEndsWithOneClearLine) {
    for (const trouble_row& row : hostile_folders)
        run_row(row, false);
}

TEST(BatchKill, EveryFrameLeftBySigkillIsWholeAndARerunLeavesOnlyFrames) {
    const scratch_folder work;
    const std::string in = work.make_folder("in"), out = work.make_folder("out");
    write_inputs(in);
    using clock = std::chrono::steady_clock;
    const auto started = clock::now();
    ASSERT_EQ(run_render({"-q", "-l", "1", in, work.make_folder("reference")}).status,
              EXIT_RENDERED);
    const auto whole_run = clock::now() - started;
    const auto reference = contents(work.path("reference"));
    std::mt19937 random(20240607);
    int kills = 0;
    // A hundred runs, or as many as 8 seconds allow past the first ten on a slow machine.
    for (int run = 0; run < 100 && (run < 10 || clock::now() - started < 8s); ++run) {
        render_process render({"-q", "-l", "1", in, out});
        std::this_thread::sleep_for(whole_run * (random() % 125) / 100);
        kill(render.pid(), SIGKILL);
        kills += render.finish().status == KILLED_BY + SIGKILL ? 1 : 0;
        for (const auto& entry : contents(out))
            ASSERT_TRUE(entry.first.ends_with(".part") ||
                        std::count(reference.begin(), reference.end(), entry) == 1)
                << entry.first << " is torn after kill " << kills;
    }
    EXPECT_GE(kills, 5) << "too few renders were killed mid-way";
    ASSERT_EQ(run_render({"-q", "-l", "1", in, out}).status, EXIT_RENDERED);
    EXPECT_TRUE(contents(out) == reference) << "a completed rerun leaves only the frames";
}

// Two local slots of GNU Parallel, or two ranges started by hand: the second render clears the
// temporary files of dead renders only, so the first, stopped while a frame of its is being
// written, still completes.
TEST(BatchShared, TwoRendersIntoOneFolderAtOnceGiveTheFramesOfOne) {
    const scratch_folder work;
    const std::string in = work.make_folder("in"), out = work.make_folder("out");
    for (std::uint32_t i = 1; i <= 8; ++i)
        write_png(in + "/frame00" + std::to_string(i) + ".png", noise_image(1024, 768, i), true);
    ASSERT_EQ(run_render({"-q", "-l", "2", in, work.make_folder("reference")}).status,
              EXIT_RENDERED);
    render_process first({"-q", "-l", "2", "--frames", "1-2", in, out});
    const auto part_written = [&] {
        const auto names = folder_names(out);
        return std::any_of(names.begin(), names.end(),
                           [](const std::string& name) { return name.ends_with(".part"); });
    };
    bool stopped = false;
    for (const auto deadline = std::chrono::steady_clock::now() + 60s;
         !stopped && std::chrono::steady_clock::now() < deadline;) {
        std::this_thread::sleep_for(1ms);
        if (!part_written() || kill(first.pid(), SIGSTOP) != 0) continue;
        int state = 0;
        waitpid(first.pid(), &state, WUNTRACED);
        stopped = part_written() || kill(first.pid(), SIGCONT) != 0;
    }
    ASSERT_TRUE(stopped) << "the first render was not caught writing a frame";
    EXPECT_EQ(run_render({"-q", "-l", "2", "--frames", "3-4", in, out}).status, EXIT_RENDERED);
    kill(first.pid(), SIGCONT);
    const render_result result = first.finish();
    EXPECT_EQ(result.status, EXIT_RENDERED) << result.err;
    EXPECT_TRUE(contents(out) == contents(work.path("reference")));
}

} // namespace
} // namespace korvel::test
