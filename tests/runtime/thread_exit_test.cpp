// Functions registered with at_thread_exit run once each, newest first, on another thread, and
// only after the registering thread is gone.
#include "runtime/threads.h"

#include "wait_until.h"

#include <cerrno>
#include <csignal>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace korvel {
namespace {

struct Call {
    int tag;
    pid_t registering_thread;
    pid_t calling_thread;
    bool registering_thread_gone;
};

std::mutex calls_lock;
std::vector<Call> calls;

struct Registration {
    int tag;
    pid_t thread;
};

void record_call(void* argument) {
    const auto* registration = static_cast<Registration*>(argument);
    const bool gone = tgkill(getpid(), registration->thread, 0) != 0 && errno == ESRCH;
    std::lock_guard<std::mutex> guard(calls_lock);
    calls.push_back({registration->tag, registration->thread, gettid(), gone});
    delete registration;
}

void register_tags(int first, int count) {
    for (int tag = first; tag < first + count; ++tag) {
        at_thread_exit(record_call, new Registration{tag, gettid()});
    }
}

// Each test waits for the calls it registered, so earlier tests leave nothing in flight.
class AtThreadExit : public testing::Test {
protected:
    void SetUp() override {
        std::lock_guard<std::mutex> guard(calls_lock);
        calls.clear();
    }
};

std::vector<Call> calls_with_tags(int first, int count) {
    std::lock_guard<std::mutex> guard(calls_lock);
    std::vector<Call> found;
    for (const Call& call : calls) {
        if (call.tag >= first && call.tag < first + count) found.push_back(call);
    }
    return found;
}

// Destroyed after the thread's exit list has been handed over: it outlives that moment by a
// while, and registers once more from its own destructor.
struct SlowTeardown {
    bool used = false;
    ~SlowTeardown() {
        if (!used) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        register_tags(202, 1);
    }
};

TEST_F(AtThreadExit, RunsNewestFirstElsewhereAfterTheThreadAndItsLastDestructorsAreGone) {
    std::thread([] {
        thread_local SlowTeardown teardown; // constructed before the exit list: destroyed after
        teardown.used = true;
        register_tags(200, 2);
    }).join();
    ASSERT_TRUE(wait_until([] { return calls_with_tags(200, 3).size() == 3; }));
    const std::vector<Call> found = calls_with_tags(200, 3);
    EXPECT_EQ(found[0].tag, 202);
    EXPECT_EQ(found[1].tag, 201);
    EXPECT_EQ(found[2].tag, 200);
    for (const Call& call : found) {
        EXPECT_TRUE(call.registering_thread_gone);
        EXPECT_NE(call.calling_thread, call.registering_thread);
    }
}

TEST_F(AtThreadExit, EveryRegistrationOfManyThreadsRunsExactlyOnce) {
    constexpr int threads = 24;
    constexpr int per_thread = 4;
    std::vector<std::thread> started;
    for (int i = 0; i < threads; ++i)
        started.emplace_back(register_tags, 1000 + i * 10, per_thread);
    for (std::thread& thread : started)
        thread.join();
    ASSERT_TRUE(wait_until([] { return calls_with_tags(1000, threads * 10).size() >= 96; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // room for a wrongful repeat
    const std::vector<Call> found = calls_with_tags(1000, threads * 10);
    EXPECT_EQ(found.size(), static_cast<std::size_t>(threads * per_thread));
    for (int i = 0; i < threads; ++i) {
        std::vector<int> order;
        for (const Call& call : found) {
            if (call.tag / 10 == 100 + i) order.push_back(call.tag % 10);
        }
        EXPECT_EQ(order, (std::vector<int>{3, 2, 1, 0})) << "thread " << i;
    }
}

} // namespace
} // namespace korvel
