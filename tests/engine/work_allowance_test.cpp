// The budget that read-ahead and encoding share: read-ahead never passes it and gives way to a
// waiting encoder; an encoder waits for the read-ahead to be taken up, but never for ever.
#include "engine/work_allowance.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace korvel {
namespace {

using namespace std::chrono_literals;

TEST(work_allowance, read_ahead_stays_within_the_budget_and_gets_its_bytes_back) {
    work_allowance allowance(10);
    EXPECT_TRUE(allowance.try_take_for_read_ahead(4));
    EXPECT_TRUE(allowance.try_take_for_read_ahead(6));
    EXPECT_FALSE(allowance.try_take_for_read_ahead(1));
    allowance.give_back_read_ahead(4);
    EXPECT_TRUE(allowance.try_take_for_read_ahead(4));
    EXPECT_EQ(allowance.held(), 10);
}

TEST(work_allowance, an_encoder_takes_at_once_when_the_read_ahead_holds_nothing_even_beyond) {
    work_allowance allowance(10);
    allowance.take_now(8); // a finished canvas
    const auto start = std::chrono::steady_clock::now();
    allowance.take_for_encoder(30, 10s);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(allowance.held(), 38);
    EXPECT_FALSE(allowance.try_take_for_read_ahead(1));
    allowance.give_back(38);
    EXPECT_EQ(allowance.held(), 0);
}

TEST(work_allowance, an_encoder_waits_for_the_read_ahead_which_meanwhile_takes_no_more) {
    work_allowance allowance(10);
    ASSERT_TRUE(allowance.try_take_for_read_ahead(5));
    ASSERT_TRUE(allowance.try_take_for_read_ahead(5));
    std::atomic<bool> taken{false};
    std::thread encoder([&] {
        allowance.take_for_encoder(8, 30s);
        taken = true;
    });
    // Until the encoder has its share, freed read-ahead bytes are not taken again.
    while (allowance.try_take_for_read_ahead(0))
        std::this_thread::sleep_for(1ms);
    allowance.give_back_read_ahead(5);
    EXPECT_FALSE(allowance.try_take_for_read_ahead(5));
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(taken);
    allowance.give_back_read_ahead(5);
    encoder.join();
    EXPECT_TRUE(taken);
    EXPECT_EQ(allowance.held(), 8);
}

TEST(work_allowance, an_encoder_held_up_by_a_read_ahead_that_is_never_taken_goes_on_in_time) {
    work_allowance allowance(10);
    ASSERT_TRUE(allowance.try_take_for_read_ahead(10));
    const auto start = std::chrono::steady_clock::now();
    allowance.take_for_encoder(8, 50ms);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 50ms);
    EXPECT_LT(waited, 5s);
    EXPECT_EQ(allowance.held(), 18);
    // With nobody waiting any more the read-ahead may take what the budget allows again.
    allowance.give_back(18);
    EXPECT_TRUE(allowance.try_take_for_read_ahead(10));
}

} // namespace
} // namespace korvel
