// What a thread leaves behind: functions registered with at_thread_exit run once each, newest
// first, on another thread once the thread is gone (after its last thread-local destructors too),
// and per-thread records registered later still reach a thread that has its records already. The
// numeric helpers round, divide and pack colours as their examples say.
#include "runtime/numeric.h"
#include "runtime/thread_data.h"
#include "runtime/threads.h"

#include <gtest/gtest.h>

#include <array>
#include <condition_variable>
#include <csignal>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace korvel {

using tags = std::vector<std::string>;
static std::mutex exits_lock;
static std::condition_variable exits_changed;
static tags exits; // each tag as its function ran, marked when its thread was still alive

using exit_tag = std::pair<std::string, pid_t>; // the tag and the thread that registered it

static void log_exit(void* argument) {
    const std::unique_ptr<exit_tag> exit(static_cast<exit_tag*>(argument));
    const auto& [tag, owner] = *exit;
    const bool gone = tgkill(getpid(), owner, 0) != 0 && errno == ESRCH;
    std::lock_guard guard(exits_lock);
    exits.push_back(tag + (gone && gettid() != owner ? "" : " too early"));
    exits_changed.notify_all();
}

static void register_exit(const std::string& tag) {
    at_thread_exit(log_exit, new exit_tag{tag, gettid()});
}

// The tags logged so far, taken once there are count of them (or ten seconds have passed).
static tags take_exits(std::size_t count) {
    std::unique_lock guard(exits_lock);
    exits_changed.wait_for(guard, std::chrono::seconds(10), [&] { return exits.size() >= count; });
    return std::exchange(exits, {});
}

// Destroyed after the thread's exit list was handed over (it was constructed first): it keeps
// the thread alive a while longer and registers once more.
struct slow_teardown {
    bool used = false;
    ~slow_teardown() {
        if (!used) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        register_exit("a2");
    }
};

TEST(AtThreadExit, RunsNewestFirstElsewhereAfterTheThreadAndItsLastDestructorsAreGone) {
    std::thread([] {
        thread_local slow_teardown teardown;
        teardown.used = true;
        register_exit("a0");
        register_exit("a1");
    }).join();
    EXPECT_EQ(take_exits(3), (tags{"a2", "a1", "a0"}));
}

// Registering sets the new record up at once for the registering thread, which has its records.
TEST(ThreadData, ALaterRegistrationGrowsTheRecordsOfAThreadAndSetsUpOnlyTheNewOne) {
    static int set_ups = 0;
    static const std::int32_t early = thread_data_register(
        4, [](void*) { ++set_ups; }, nullptr);
    *static_cast<char*>(thread_data(early)) = 7;
    static const std::int32_t late = thread_data_register(4096, nullptr, nullptr);
    EXPECT_EQ(static_cast<char*>(thread_data(late))[4095], 0);
    EXPECT_EQ(*static_cast<char*>(thread_data(early)), 7);
    EXPECT_EQ(set_ups, 1);
}

TEST(Numeric, RoundsDividesAndPacksColoursAsTheirExamplesSay) {
    const std::tuple<float, std::int32_t, float> rounded[] = {
        {2.5f, 2, 3},   {-2.5f, 2, -3}, {2.4f, 2, 2}, {0, 2, 0},    {-0.5f, 2, -1},
        {-2.5f, 0, -3}, {1.9f, 0, 1},   {2.1f, 1, 3}, {1.1f, 1, 2}, {2.5f, 9, 2}};
    for (const auto& [x, mode, want] : rounded)
        EXPECT_EQ(round_float(x, mode), want) << x << " in mode " << mode;
    const std::tuple<std::int64_t, std::int64_t, std::int64_t> quotients[] = {
        {7, 2, 3}, {-7, 2, -3}, {7, -2, -3}, {-7, -2, 3}, {INT64_MIN, -1, INT64_MIN}};
    for (const auto& [a, b, want] : quotients)
        EXPECT_EQ(div_i64(a, b), want) << a << " / " << b;
    EXPECT_EQ((std::array{rgb(0, 0, 255), rgb(255, 255, 255), rgb(256, 0, 0), rgb(0, 1, 0)}),
              (std::array{0xFF0000u, 0xFFFFFFu, 0x100u, 0x100u}));
}

} // namespace korvel
