// Thread numbering and the registry's hold on threads, which never stops or waits for them.
#include "runtime/threads.h"

#include "wait_until.h"

#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <pthread.h>

namespace korvel {
namespace {

std::atomic<std::uint32_t> waiting_argument{0};
std::atomic<bool> may_finish{false};
std::atomic<int> finished{0};

std::uint32_t do_nothing(std::uint32_t) {
    return 0;
}

std::uint32_t wait_for_permission(std::uint32_t argument) {
    while (!may_finish)
        delay_ms(1);
    waiting_argument = argument;
    ++finished;
    return 0;
}

void start_two_threads_and_exit() {
    threads_init();
    const std::int32_t first = thread_create(do_nothing, 1);
    const std::int32_t second = thread_create(do_nothing, 2);
    std::exit(first == 1 && second == 2 ? 0 : 1);
}

TEST(ThreadCreate, FirstThreadsOfAProcessAreNumberedOneAndTwo) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(start_two_threads_and_exit(), testing::ExitedWithCode(0), "");
}

// A default stack too large to map makes the start fail.
TEST(ThreadCreate, FailedStartReturnsZeroAndUsesNoNumber) {
    const std::int32_t before = thread_create(do_nothing, 0);
    pthread_attr_t saved;
    pthread_attr_t huge;
    ASSERT_EQ(pthread_getattr_default_np(&saved), 0);
    ASSERT_EQ(pthread_attr_init(&huge), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&huge, std::size_t{1} << 50), 0);
    ASSERT_EQ(pthread_setattr_default_np(&huge), 0);
    const std::int32_t failed = thread_create(do_nothing, 0);
    ASSERT_EQ(pthread_setattr_default_np(&saved), 0);
    pthread_attr_destroy(&huge);
    pthread_attr_destroy(&saved);
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(thread_create(do_nothing, 0), before + 1);
}

TEST(ThreadsEnd, ForgetsRunningThreadsWithoutStoppingThemAndNumberingGoesOn) {
    const int finished_before = finished;
    const std::int32_t number = thread_create(wait_for_permission, 0xC0FFEE);
    ASSERT_GE(number, 1);
    threads_end();
    may_finish = true;
    EXPECT_TRUE(wait_until([&] { return finished == finished_before + 1; }));
    EXPECT_EQ(waiting_argument, 0xC0FFEEu);
    EXPECT_EQ(thread_create(do_nothing, 0), number + 1);
}

} // namespace
} // namespace korvel
