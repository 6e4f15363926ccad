// The numbers typed on the command line: accepted exactly when the window would read the whole
// text as a number, with the window's value; frame ranges in their three forms.
#include "batch/batch_numbers.h"

#include <gtest/gtest.h>

#include <limits>

namespace korvel {
namespace {

TEST(BatchWholeNumber, TakesTheValueTheWindowReadsFromTheSameText) {
    EXPECT_EQ(read_whole_number("100"), 100);
    EXPECT_EQ(read_whole_number("-7"), -7);
    EXPECT_EQ(read_whole_number("+12"), 12);
    EXPECT_EQ(read_whole_number("  3"), 3);
    EXPECT_EQ(read_whole_number("\t3"), 3);
    EXPECT_EQ(read_whole_number("$ff"), 255);
    EXPECT_EQ(read_whole_number("-$10"), -16);
    EXPECT_EQ(read_whole_number("%101"), 5);
    EXPECT_EQ(read_whole_number("007"), 7);
}

TEST(BatchWholeNumber, RefusesTextsTheWindowWouldSilentlyCutOrZero) {
    for (const char* text : {"", " ", "x", "5x", "5 ", "1.5", "1e3", "$", "%", "%2", "$g", "-",
                             "+-1", "--1", "0x10", "５"}) {
        EXPECT_FALSE(read_whole_number(text)) << "'" << text << "'";
    }
    EXPECT_FALSE(read_whole_number(nullptr));
}

TEST(BatchWholeNumber, RefusesValuesBeyondSixtyFourBitsInsteadOfWrapping) {
    EXPECT_EQ(read_whole_number("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(read_whole_number("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
    EXPECT_FALSE(read_whole_number("9223372036854775808"));
    EXPECT_FALSE(read_whole_number("-9223372036854775809"));
    EXPECT_FALSE(read_whole_number("18446744073709551616"));
    EXPECT_EQ(read_whole_number("$7FFFFFFFFFFFFFFF"), std::numeric_limits<std::int64_t>::max());
    EXPECT_FALSE(read_whole_number("$10000000000000000"));
}

void expect_range(const char* text, std::int32_t first, std::int32_t last) {
    const auto range = read_frame_range(text);
    ASSERT_TRUE(range) << text;
    EXPECT_EQ(range->first, first) << text;
    EXPECT_EQ(range->last, last) << text;
}

TEST(BatchFrameRange, ReadsABoundedAnOpenAndASingleFrameRange) {
    constexpr std::int32_t end = std::numeric_limits<std::int32_t>::max();
    expect_range("1-3", 1, 3);
    expect_range("4-", 4, end);
    expect_range("7", 7, 7);
    expect_range("5-5", 5, 5);
    expect_range("2147483647", end, end);
}

TEST(BatchFrameRange, RefusesEmptyBackwardZeroSignedAndOversizedRanges) {
    for (const char* text : {"", "-", "-3", "5-3", "0-2", "0", "1-0", "a-b", "1-2-3", "1--2",
                             "+1-2", "1-+2", " 1-2", "1-2 ", "2147483648", "1-2147483648", "$1"}) {
        EXPECT_FALSE(read_frame_range(text)) << "'" << text << "'";
    }
}

} // namespace
} // namespace korvel
