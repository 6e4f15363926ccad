// Waiting in thread tests for something another thread does, with a limit so a fault fails the
// test instead of hanging it.
#pragma once

#include <chrono>
#include <thread>

namespace korvel {

template <typename Condition>
bool wait_until(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace korvel
