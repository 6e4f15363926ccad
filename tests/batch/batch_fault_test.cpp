// Faults while korvel-render runs: the output disk fills up, the output folder goes away, a layer
// is deleted, cut short or replaced before the render reaches it. Each ends with one clear line
// and exit status 1 (or, for a replaced layer, a frame of the new layer), the frames finished
// before stay whole and byte-identical to an undisturbed run's, and no temporary file is left.
#include "layer_gate.h"
#include "render_process.h"
#include "test_pictures.h"
#include "work_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>

namespace korvel::test {
namespace {

namespace fs = std::filesystem;
using std::chrono::seconds;

int faults_injected = 0;

// The render's status, or a kill and KILLED_BY_SIGNAL + 9 when it outlives the limit: a render
// that hangs on a fault fails the test instead of stalling it.
int wait_within(pid_t pid, seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid, SIGKILL);
            wait_for_render(pid);
            return KILLED_BY_SIGNAL + SIGKILL;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return WIFSIGNALED(status) ? KILLED_BY_SIGNAL + WTERMSIG(status) : WEXITSTATUS(status);
}

bool wait_for_file(const std::string& path, seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!fs::exists(path)) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The frames in folder are exactly 1 .. count of the reference folder, byte for byte, and
// nothing else is there.
void expect_first_frames(const std::string& folder, const std::string& reference, int count) {
    const folder_contents expected = read_folder(reference);
    folder_contents first;
    for (const auto& [name, bytes] : expected)
        if (static_cast<int>(first.size()) < count) first[name] = bytes;
    ASSERT_EQ(static_cast<int>(first.size()), count) << "the reference has too few frames";
    const folder_contents left = read_folder(folder);
    EXPECT_EQ(left.size(), first.size()) << "a temporary file or a later frame was left";
    for (const auto& [name, bytes] : left) {
        const auto found = first.find(name);
        ASSERT_NE(found, first.end()) << name << " should not be there";
        EXPECT_TRUE(bytes == found->second) << name << " differs from an undisturbed run's";
    }
}

std::string reference_run(const std::string& in, const std::string& folder,
                          const std::vector<std::string>& options) {
    std::vector<std::string> args{"-q"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(in);
    args.push_back(folder);
    EXPECT_EQ(run_render(args).status, 0);
    return folder;
}

// A tmpfs of a fixed size: a disk that really fills up. Only where mounting is allowed.
class small_disk {
public:
    small_disk(const std::string& at, const std::string& size) : at_(at) {
        mounted_ = mount("korvel-test", at.c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
                         ("size=" + size).c_str()) == 0;
    }
    ~small_disk() {
        if (mounted_) umount2(at_.c_str(), MNT_DETACH);
    }
    small_disk(const small_disk&) = delete;
    small_disk& operator=(const small_disk&) = delete;
    bool mounted() const { return mounted_; }

private:
    std::string at_;
    bool mounted_ = false;
};

// Frames of noise that no compressor shrinks, about 256 KiB each.
void write_noise_frames(const std::string& folder, int first, int last) {
    for (int i = first; i <= last; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame%03d.png", i);
        ASSERT_TRUE(write_png(folder + name, noise_picture(256, 256, static_cast<unsigned>(i))));
    }
}

// The program's message is the last line; libpng may have said more on lines of its own before.
void expect_last_line(const std::string& err_path, const std::string& line) {
    const std::string err = read_file(err_path);
    const std::string ending = line + "\n";
    EXPECT_TRUE(err.size() >= ending.size() && err.substr(err.size() - ending.size()) == ending &&
                (err.size() == ending.size() || err[err.size() - ending.size() - 1] == '\n'))
        << err;
}

int frame_count(const std::string& folder) {
    return static_cast<int>(read_folder(folder).size());
}

class BatchFullDisk : public ::testing::TestWithParam<std::string> {};

// One thread saves the frames in turn; every thread keeps several in flight, and the one that
// does not fit may not be the first to fail, yet the frames before it are the ones kept.
TEST_P(BatchFullDisk, StopsWithUnableToSaveAndKeepsTheFramesBeforeWhole) {
    const work_folder work;
    const std::string in = work.make_folder("in");
    write_noise_frames(in, 1, 10);
    const std::string reference = reference_run(in, work.make_folder("reference"), {"-l", "1"});
    const std::string disk = work.make_folder("disk");
    const small_disk space(disk, "1m");
    if (!space.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";

    const pid_t pid = start_render({"-q", "-l", "1", "-j", GetParam(), in, disk},
                                   work.make_folder("cwd"), work.path("err.txt"));
    ++faults_injected;
    EXPECT_EQ(wait_within(pid, seconds(120)), 1);
    const int kept = frame_count(disk);
    EXPECT_GE(kept, GetParam() == "1" ? 2 : 0) << "three frames fit on the disk";
    EXPECT_LT(kept, 10);
    char failed_name[32];
    std::snprintf(failed_name, sizeof failed_name, "/%02d.png", kept + 1);
    expect_last_line(work.path("err.txt"), "korvel-render: Unable to save, " + disk + failed_name);
    expect_first_frames(disk, reference, kept);
}

INSTANTIATE_TEST_SUITE_P(Threads, BatchFullDisk, ::testing::Values("1", "4"),
                         [](const auto& info) { return "J" + info.param; });

TEST(BatchFaults, AFileSizeLimitFailsTheFirstLargeFrameAndKeepsTheSmallOnesBefore) {
    const work_folder work;
    const std::string in = work.make_folder("in");
    // Small layers on a large canvas leave it mostly transparent: small files.
    write_frames(in, 3, 32, 32, 4);
    write_noise_frames(in, 4, 6);
    const std::string reference = reference_run(in, work.make_folder("reference"), {"-l", "1"});
    ASSERT_LT(read_file(reference + "/3.png").size(), 150000u) << "pattern frames grew too big";
    ASSERT_GT(read_file(reference + "/4.png").size(), 150000u) << "noise frames shrank";
    const std::string out = work.make_folder("out");

    const pid_t pid = start_render({"-q", "-l", "1", in, out}, work.make_folder("cwd"),
                                   work.path("err.txt"), 150000);
    ++faults_injected;
    EXPECT_EQ(wait_within(pid, seconds(120)), 1);
    expect_last_line(work.path("err.txt"), "korvel-render: Unable to save, " + out + "/4.png");
    expect_first_frames(out, reference, 3);
}

// Frames 1 and 2 are on disk and the render waits for layer 3 when the folder goes away.
class BatchOutputFolderGone : public ::testing::TestWithParam<bool> {};

TEST_P(BatchOutputFolderGone, EndsWithUnableToSaveForTheNextFrame) {
    const bool moved = GetParam();
    const work_folder work;
    const std::string in = work.make_folder("in");
    write_frames(in, 6, 64, 48, 4);
    const std::string reference = reference_run(in, work.make_folder("reference"), {"-l", "1"});
    const std::string out = work.make_folder("out");
    layer_gate gate(in + "/frame003.png");
    ASSERT_TRUE(gate.ready());

    const pid_t pid =
        start_render({"-q", "-l", "1", in, out}, work.make_folder("cwd"), work.path("err.txt"));
    ASSERT_TRUE(layer_gate::wait_for_reader(pid, seconds(20)));
    ASSERT_TRUE(wait_for_file(out + "/2.png", seconds(60)));
    const std::string moved_to = work.path("moved");
    if (moved)
        fs::rename(out, moved_to);
    else
        fs::remove_all(out);
    ++faults_injected;
    ASSERT_TRUE(gate.release());
    EXPECT_EQ(wait_within(pid, seconds(60)), 1);
    expect_last_line(work.path("err.txt"), "korvel-render: Unable to save, " + out + "/3.png");
    EXPECT_FALSE(fs::exists(out)) << "the output folder was made again";
    if (moved) expect_first_frames(moved_to, reference, 2);
}

INSTANTIATE_TEST_SUITE_P(MovedOrRemoved, BatchOutputFolderGone, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Moved" : "Removed"; });

enum class layer_fault { deleted, truncated, replaced };

class BatchLayerChanged : public ::testing::TestWithParam<layer_fault> {};

// The render waits for frame 2's first layer while frame 4's layer changes: whatever was decoded
// ahead of it, the render must use the file as it is when the layer is drawn.
TEST_P(BatchLayerChanged, AfterTheRenderStartedIsTakenAsItIsWhenItsTurnComes) {
    const layer_fault fault = GetParam();
    const work_folder work;
    const std::string in = work.make_folder("in");
    write_frames(in, 10, 64, 48, 4);
    const std::string reference = reference_run(in, work.make_folder("reference"), {"-l", "2"});
    const std::string out = work.make_folder("out");
    const std::string changed = in + "/frame007.png";
    layer_gate gate(in + "/frame003.png");
    ASSERT_TRUE(gate.ready());

    const pid_t pid =
        start_render({"-q", "-l", "2", in, out}, work.make_folder("cwd"), work.path("err.txt"));
    ASSERT_TRUE(layer_gate::wait_for_reader(pid, seconds(20)));
    if (fault == layer_fault::deleted) fs::remove(changed);
    if (fault == layer_fault::truncated) fs::resize_file(changed, fs::file_size(changed) / 2);
    if (fault == layer_fault::replaced) {
        ASSERT_TRUE(write_png(changed + ".new", pattern_picture(64, 48, 4, 99)));
        fs::rename(changed + ".new", changed);
    }
    ++faults_injected;
    ASSERT_TRUE(gate.release());
    const int status = wait_within(pid, seconds(60));
    const std::string err = read_file(work.path("err.txt"));
    if (fault == layer_fault::replaced) {
        EXPECT_EQ(status, 0) << err;
        const std::string again =
            reference_run(in, work.make_folder("again"), {"-l", "2", "--frames", "4"});
        EXPECT_TRUE(read_file(out + "/04.png") == read_file(again + "/04.png"))
            << "frame 4 was made from the layer as it was before";
        EXPECT_TRUE(read_file(out + "/03.png") == read_file(reference + "/03.png"));
        return;
    }
    EXPECT_EQ(status, 1);
    expect_last_line(work.path("err.txt"), "korvel-render: Unable to load, " + changed);
    expect_first_frames(out, reference, 3);
}

std::string fault_name(const ::testing::TestParamInfo<layer_fault>& info) {
    switch (info.param) {
    case layer_fault::deleted:
        return "Deleted";
    case layer_fault::truncated:
        return "Truncated";
    case layer_fault::replaced:
        return "Replaced";
    }
    return "Unknown";
}

INSTANTIATE_TEST_SUITE_P(Faults, BatchLayerChanged,
                         ::testing::Values(layer_fault::deleted, layer_fault::truncated,
                                           layer_fault::replaced),
                         fault_name);

// The figure for the record: how many faults this binary's run injected.
class FaultCount : public ::testing::Environment {
public:
    void TearDown() override {
        if (faults_injected > 0) std::printf("korvel batch faults injected: %d\n", faults_injected);
    }
};

const auto* const fault_count = ::testing::AddGlobalTestEnvironment(new FaultCount);

} // namespace
} // namespace korvel::test
