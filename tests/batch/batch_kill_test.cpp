// korvel-render killed with SIGKILL at random moments, many times over the same output folder:
// every frame file present afterwards is a whole PNG byte-identical to an undisturbed run's. A
// killed process cannot remove its temporary file, but the next run clears such leftovers, so
// the folder of a completed rerun holds the frames and nothing else.
// KORVEL_KILLS (default 100) and KORVEL_KILL_SECONDS (default 45) set the count and the time
// budget (stretched when fewer than 10 kills fit in it); a longer run by hand:
// KORVEL_KILLS=2000 KORVEL_KILL_SECONDS=1200.
#include "render_process.h"
#include "test_pictures.h"
#include "work_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <random>
#include <thread>

namespace korvel::test {
namespace {

using clock_type = std::chrono::steady_clock;

long setting(const char* name, long fallback) {
    const char* text = std::getenv(name);
    return text && std::atol(text) > 0 ? std::atol(text) : fallback;
}

bool is_leftover(const std::string& name) {
    return name.size() > 5 && name.substr(name.size() - 5) == ".part";
}

TEST(BatchKill, EveryFrameLeftBySigkillIsWholeAndARerunLeavesOnlyFrames) {
    const work_folder work;
    const std::string in = work.make_folder("in");
    write_frames(in, 60, 160, 120, 4);
    const std::string reference = work.make_folder("reference");
    const auto started = clock_type::now();
    ASSERT_EQ(run_render({"-q", "-l", "2", in, reference}).status, 0);
    const auto full_run = clock_type::now() - started;
    const folder_contents expected = read_folder(reference);
    const std::string out = work.make_folder("out");
    const std::string cwd = work.make_folder("cwd");

    const long kills_wanted = setting("KORVEL_KILLS", 100);
    const auto budget = std::chrono::seconds(setting("KORVEL_KILL_SECONDS", 45));
    std::mt19937 random(20240607);
    const auto longest = std::chrono::duration_cast<std::chrono::microseconds>(full_run) * 5 / 4;
    std::uniform_int_distribution<long> delay(0, std::max<long>(longest.count(), 1000));
    // A slow build on a busy machine gets more time, up to four budgets, for the fewest kills
    // that mean anything.
    const long fewest = std::min(kills_wanted, 10L);
    long kills = 0;
    long leftovers = 0;
    const auto test_start = clock_type::now();
    const auto go_on = [&] {
        const auto spent = clock_type::now() - test_start;
        return (kills < kills_wanted && spent < budget) || (kills < fewest && spent < 4 * budget);
    };
    while (go_on()) {
        const pid_t pid = start_render({"-q", "-l", "2", in, out}, cwd, work.path("err.txt"));
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        kill(pid, SIGKILL);
        if (wait_for_render(pid) == KILLED_BY_SIGNAL + SIGKILL) ++kills;
        leftovers = 0;
        for (const auto& [name, bytes] : read_folder(out)) {
            if (is_leftover(name)) {
                ++leftovers;
                continue;
            }
            const auto found = expected.find(name);
            ASSERT_NE(found, expected.end()) << name << " is no frame of the sequence";
            ASSERT_TRUE(bytes == found->second) << name << " is torn after kill " << kills;
        }
    }
    std::printf("korvel kills survived with nothing torn: %ld (temporary files left by the "
                "last: %ld)\n",
                kills, leftovers);
    RecordProperty("kills", static_cast<int>(kills));
    EXPECT_GE(kills, fewest) << "too few renders were killed mid-way";

    ASSERT_EQ(run_render({"-q", "-l", "2", in, out}, cwd).status, 0);
    EXPECT_EQ(read_folder(out), expected) << "a completed rerun leaves exactly the frames";
    EXPECT_TRUE(read_folder(cwd).empty());
}

} // namespace
} // namespace korvel::test
