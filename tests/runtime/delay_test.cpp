// delay_ms sleeps at least as long as asked, even when signals interrupt the sleep.
#include "runtime/threads.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <pthread.h>
#include <thread>

namespace korvel {
namespace {

void ignore_signal(int) {}

TEST(DelayMs, SleepsTheWholeTimeThroughInterruptingSignals) {
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = ignore_signal; // no SA_RESTART: the sleep sees EINTR
    ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);
    const pthread_t sleeper = pthread_self();
    std::atomic<bool> done{false};
    std::thread interrupter([&] {
        while (!done) {
            pthread_kill(sleeper, SIGUSR1);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const auto start = std::chrono::steady_clock::now();
    delay_ms(120);
    const auto slept = std::chrono::steady_clock::now() - start;
    done = true;
    interrupter.join();
    sigaction(SIGUSR1, &previous, nullptr);
    EXPECT_GE(slept, std::chrono::milliseconds(120));
    EXPECT_LT(slept, std::chrono::seconds(5));
}

} // namespace
} // namespace korvel
