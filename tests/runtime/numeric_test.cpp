// Rounding modes, truncating division and colour packing, including the values that trap or
// round differently elsewhere.
#include "runtime/numeric.h"

#include <gtest/gtest.h>
#include <random>

namespace korvel {
namespace {

std::uint64_t magnitude(std::int64_t value) {
    const auto bits = static_cast<std::uint64_t>(value);
    return value < 0 ? 0 - bits : bits;
}

TEST(RoundFloat, EachModeRoundsItsWay) {
    EXPECT_EQ(round_float(2.5f, 2), 3.0f);
    EXPECT_EQ(round_float(-2.5f, 2), -3.0f);
    EXPECT_EQ(round_float(-0.5f, 2), -1.0f);
    EXPECT_EQ(round_float(2.4f, 2), 2.0f);
    EXPECT_EQ(round_float(0.0f, 2), 0.0f);
    EXPECT_EQ(round_float(0.49999997f, 2), 0.0f); // no double rounding through x + 0.5
    EXPECT_EQ(round_float(-2.5f, 0), -3.0f);
    EXPECT_EQ(round_float(1.9f, 0), 1.0f);
    EXPECT_EQ(round_float(1.9f, 7), 1.0f); // unknown modes round down
    EXPECT_EQ(round_float(2.1f, 1), 3.0f);
    EXPECT_EQ(round_float(1.1f, 1), 2.0f);
    EXPECT_EQ(round_float(-1.1f, 1), -1.0f);
}

TEST(DivI64, TruncatesTowardZeroAndNeverTraps) {
    EXPECT_EQ(div_i64(7, 2), 3);
    EXPECT_EQ(div_i64(-7, 2), -3);
    EXPECT_EQ(div_i64(7, -2), -3);
    EXPECT_EQ(div_i64(-7, -2), 3);
    EXPECT_EQ(div_i64(INT64_MIN, -1), INT64_MIN);
    EXPECT_EQ(div_i64(INT64_MIN, 1), INT64_MIN);
    EXPECT_EQ(div_i64(5, 0), 0);
    std::mt19937_64 random(3);
    for (int i = 0; i < 1000; ++i) {
        const auto a = static_cast<std::int64_t>(random());
        const auto b = static_cast<std::int64_t>(random() >> (i % 63)) | 1;
        const std::int64_t q = div_i64(a, b);
        const std::int64_t r = a - q * b;
        ASSERT_TRUE(r == 0 || (r < 0) == (a < 0)) << a << " / " << b;
        ASSERT_LT(magnitude(r), magnitude(b));
    }
}

TEST(Rgb, PacksRedLowAndCarriesOversizedComponents) {
    EXPECT_EQ(rgb(0, 0, 255), 0xFF0000u);
    EXPECT_EQ(rgb(255, 255, 255), 0xFFFFFFu);
    EXPECT_EQ(rgb(0x12, 0x34, 0x56), 0x563412u);
    EXPECT_EQ(rgb(256, 0, 0), 0x100u);
    EXPECT_EQ(rgb(256, 0, 0), rgb(0, 1, 0));
}

} // namespace
} // namespace korvel
