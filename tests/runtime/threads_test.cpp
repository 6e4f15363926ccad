// What a thread leaves behind: functions registered with at_thread_exit run once each, newest
// first, on another thread once the thread is gone (after its last thread-local destructors too),
// and per-thread records registered later still reach a thread that has its records already.
#include "runtime/thread_data.h"
#include "runtime/threads.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <csignal>
#include <thread>
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

} // namespace korvel
