// Per-thread records: zero-filled copies per thread, set up once on first use, released after
// the thread ends (newest registration first), and grown for registrations made later.
#include "runtime/thread_data.h"

#include "wait_until.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <latch>
#include <mutex>
#include <thread>
#include <vector>

namespace korvel {
namespace {

struct Event {
    char kind; // 's' set-up, 'r' release
    int tag;
    std::thread::id thread;
    bool was_zero;       // the record's first 12 bytes
    std::uint32_t value; // what the test stored in the record's second word
};

std::mutex events_lock;
std::vector<Event> events;

template <int Tag, char Kind>
void log_event(void* record) {
    const auto* bytes = static_cast<const std::uint8_t*>(record);
    std::uint32_t value;
    std::memcpy(&value, bytes + 4, sizeof value);
    const bool zero = std::all_of(bytes, bytes + 12, [](std::uint8_t b) { return b == 0; });
    std::lock_guard<std::mutex> guard(events_lock);
    events.push_back({Kind, Tag, std::this_thread::get_id(), zero, value});
}

void store_value(void* record, std::uint32_t value) {
    std::memcpy(static_cast<std::uint8_t*>(record) + 4, &value, sizeof value);
}

// Thread ids are reused once threads end, so each test reads only the events of its own run.
class ThreadData : public testing::Test {
protected:
    void SetUp() override {
        std::lock_guard<std::mutex> guard(events_lock);
        events.clear();
    }
};

// Where the first matching event stands in the log, or -1.
int find_event(char kind, int tag, auto matches) {
    std::lock_guard<std::mutex> guard(events_lock);
    const auto found = std::find_if(events.begin(), events.end(), [&](const Event& e) {
        return e.kind == kind && e.tag == tag && matches(e);
    });
    return found == events.end() ? -1 : static_cast<int>(found - events.begin());
}

int set_ups_on(int tag, std::thread::id thread) {
    std::lock_guard<std::mutex> guard(events_lock);
    return static_cast<int>(std::count_if(events.begin(), events.end(), [&](const Event& e) {
        return e.kind == 's' && e.tag == tag && e.thread == thread;
    }));
}

// Registrations last for the process, so each is made once and repeated runs see one of each.
TEST_F(ThreadData, EachThreadGetsAZeroFilledCopySetUpOnceAndReleasedAfterItsEnd) {
    static const std::int32_t offset =
        thread_data_register(12, log_event<1, 's'>, log_event<1, 'r'>);
    ASSERT_GE(offset, 0);
    std::thread::id ids[2];
    auto use = [&](std::uint32_t i) {
        ids[i] = std::this_thread::get_id();
        void* record = thread_data(offset);
        EXPECT_EQ(thread_data(offset), record);
        store_value(record, 50 + i);
    };
    std::thread first(use, 0);
    std::thread second(use, 1);
    first.join();
    second.join();
    for (std::uint32_t i = 0; i < 2; ++i) {
        EXPECT_EQ(set_ups_on(1, ids[i]), 1);
        auto zero_on_thread = [&](const Event& e) { return e.thread == ids[i] && e.was_zero; };
        EXPECT_GE(find_event('s', 1, zero_on_thread), 0);
        auto released = [&](const Event& e) { return e.value == 50 + i && e.thread != ids[i]; };
        EXPECT_TRUE(wait_until([&] { return find_event('r', 1, released) >= 0; }));
    }
}

TEST_F(ThreadData, SizesAreRoundedUpToMultiplesOfFourAndBadSizesRefused) {
    const std::int32_t a = thread_data_register(1, nullptr, nullptr);
    EXPECT_EQ(thread_data_register(4, nullptr, nullptr), a + 4);
    EXPECT_EQ(thread_data_register(5, nullptr, nullptr), a + 8);
    const std::int32_t d = thread_data_register(1, nullptr, nullptr);
    EXPECT_EQ(d, a + 16);
    EXPECT_EQ(thread_data_register(0, nullptr, nullptr), -1);
    EXPECT_EQ(thread_data_register(-4, nullptr, nullptr), -1);
    EXPECT_EQ(thread_data(-1), nullptr);
    EXPECT_EQ(thread_data(d + 4), nullptr);
    EXPECT_NE(thread_data(d), nullptr);
}

// A registration made while a thread already has its block reaches that thread too.
TEST_F(ThreadData, LateRegistrationGrowsTheBlockOfARunningThread) {
    static const std::int32_t early =
        thread_data_register(12, log_event<4, 's'>, log_event<4, 'r'>);
    static std::int32_t late = -1; // registered on the first run, while the thread has its block
    std::latch has_block(1);
    std::latch registered(1);
    std::thread::id id;
    std::thread thread([&] {
        id = std::this_thread::get_id();
        store_value(thread_data(early), 7);
        has_block.count_down();
        registered.wait();
        store_value(thread_data(late), 8);
        std::uint32_t kept;
        std::memcpy(&kept, static_cast<std::uint8_t*>(thread_data(early)) + 4, sizeof kept);
        EXPECT_EQ(kept, 7u);
    });
    has_block.wait();
    if (late < 0) late = thread_data_register(4096, log_event<5, 's'>, log_event<5, 'r'>);
    registered.count_down();
    thread.join();
    EXPECT_EQ(set_ups_on(4, id), 1); // not set up again by the growth
    EXPECT_EQ(set_ups_on(5, id), 1);
    auto on_thread = [&](const Event& e) { return e.thread == id && e.was_zero; };
    EXPECT_GE(find_event('s', 5, on_thread), 0);
    auto value_is = [](std::uint32_t value) {
        return [=](const Event& e) { return e.value == value; };
    };
    ASSERT_TRUE(wait_until([&] { return find_event('r', 4, value_is(7)) >= 0; })); // the last one
    EXPECT_LT(find_event('r', 5, value_is(8)), find_event('r', 4, value_is(7)));   // newest first
    EXPECT_GE(find_event('r', 5, value_is(8)), 0);
}

} // namespace
} // namespace korvel
