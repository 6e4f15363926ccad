// The over rows against the plain formula: every opacity with every destination alpha, on random
// pixels, for every instruction-set build this processor runs. Row widths and start offsets vary
// so that the partial blocks at row ends and unaligned rows are covered, and the bytes around
// each row must come through untouched.
#include "drawing/over_kernel.h"
#include "tests/drawing/plain_over.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace korvel {
namespace {

constexpr int guard = 16; // bytes before and after each row

// Source alphas: blocks sharing one alpha take other paths than mixed ones.
enum class alpha_pattern { random, transparent, opaque, constant };

struct row_case {
    int width;
    int src_offset;
    int dst_offset;
    alpha_pattern pattern;
};

row_case case_for(int opacity, int dest_alpha) {
    const int k = opacity * 31 + dest_alpha;
    return {1 + k % 41, k % 4, (k / 4) % 4, static_cast<alpha_pattern>((opacity + dest_alpha) % 4)};
}

std::vector<std::uint8_t> random_bytes(std::mt19937& rng, std::size_t n) {
    std::vector<std::uint8_t> bytes(n);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(rng());
    return bytes;
}

void apply_pattern(std::uint8_t* src, int width, alpha_pattern pattern, std::mt19937& rng) {
    const auto constant = static_cast<std::uint8_t>(1 + rng() % 254);
    for (int i = 0; i < width; ++i) {
        std::uint8_t& a = src[i * 4 + 3];
        if (pattern == alpha_pattern::transparent) a = 0;
        if (pattern == alpha_pattern::opaque) a = 255;
        if (pattern == alpha_pattern::constant) a = constant;
    }
}

// A destination row with every alpha byte dest_alpha, inside guard bytes.
std::vector<std::uint8_t> destination(std::mt19937& rng, const row_case& rc, int dest_alpha) {
    auto dst = random_bytes(rng, guard * 2 + rc.dst_offset * 4 + rc.width * 4);
    for (int i = 0; i < rc.width; ++i)
        dst[guard + (rc.dst_offset + i) * 4 + 3] = static_cast<std::uint8_t>(dest_alpha);
    return dst;
}

std::string first_difference(const std::vector<std::uint8_t>& got,
                             const std::vector<std::uint8_t>& want) {
    for (std::size_t i = 0; i < got.size(); ++i)
        if (got[i] != want[i])
            return "byte " + std::to_string(i) + ": got " + std::to_string(got[i]) + ", want " +
                   std::to_string(want[i]);
    return {};
}

using fast_row = void (*)(std::uint8_t*, const std::uint8_t*, std::int32_t, std::int32_t);
using plain_row = void (*)(std::uint8_t*, const std::uint8_t*, std::int32_t, std::int32_t, bool);

// Runs the fast and the plain row on copies of one destination for every opacity and destination
// alpha; returns the first case that differs.
std::string sweep(int source_bytes, fast_row fast, plain_row plain, bool keep_alpha,
                  unsigned seed) {
    std::mt19937 rng(seed);
    for (int opacity = 0; opacity < 256; ++opacity) {
        for (int dest_alpha = 0; dest_alpha < 256; ++dest_alpha) {
            const row_case rc = case_for(opacity, dest_alpha);
            auto src = random_bytes(rng, static_cast<std::size_t>(rc.src_offset + rc.width) *
                                             source_bytes);
            std::uint8_t* s = src.data() + rc.src_offset * source_bytes;
            if (source_bytes == 4) apply_pattern(s, rc.width, rc.pattern, rng);
            auto want = destination(rng, rc, dest_alpha);
            auto got = want;
            const int start = guard + rc.dst_offset * 4;
            fast(got.data() + start, s, rc.width, opacity);
            plain(want.data() + start, s, rc.width, opacity, keep_alpha);
            const std::string diff = first_difference(got, want);
            if (!diff.empty())
                return "opacity " + std::to_string(opacity) + ", destination alpha " +
                       std::to_string(dest_alpha) + ", width " + std::to_string(rc.width) + ": " +
                       diff;
        }
    }
    return {};
}

class OverKernelTest : public ::testing::TestWithParam<int> {
protected:
    const over_row_set& rows() const { return over_row_set_at(GetParam()); }
};

TEST_P(OverKernelTest, BgraSourceMatchesFormulaForEveryOpacityAndDestinationAlpha) {
    EXPECT_EQ(sweep(4, rows().bgra, plain::over_row_bgra, false, 1), "") << rows().name;
}

TEST_P(OverKernelTest, BgraSourceKeepAlphaChangesColourOnly) {
    EXPECT_EQ(sweep(4, rows().bgra_keep_alpha, plain::over_row_bgra, true, 2), "") << rows().name;
}

TEST_P(OverKernelTest, BgrSourceMatchesFormulaWithOpacityAsAlpha) {
    EXPECT_EQ(sweep(3, rows().bgr, plain::over_row_bgr, false, 3), "") << rows().name;
}

TEST_P(OverKernelTest, BgrSourceKeepAlphaChangesColourOnly) {
    EXPECT_EQ(sweep(3, rows().bgr_keep_alpha, plain::over_row_bgr, true, 4), "") << rows().name;
}

TEST_P(OverKernelTest, BgrCopyTakesColourAndKeepsAlphaAtEveryWidth) {
    std::mt19937 rng(5);
    for (int width = 1; width <= 40; ++width) {
        const auto src = random_bytes(rng, static_cast<std::size_t>(width) * 3);
        auto got = random_bytes(rng, guard * 2 + width * 4);
        auto want = got;
        rows().bgr_copy(got.data() + guard, src.data(), width);
        plain::draw_row_bgr(want.data() + guard, src.data(), width, 255);
        ASSERT_EQ(first_difference(got, want), "") << rows().name << " width " << width;
    }
}

std::vector<int> available_sets() {
    std::vector<int> sets;
    for (int i = 0; i < over_row_set_count(); ++i)
        sets.push_back(i);
    return sets;
}

INSTANTIATE_TEST_SUITE_P(EveryInstructionSet, OverKernelTest, ::testing::ValuesIn(available_sets()),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(over_row_set_at(info.param).name);
                         });

TEST(OverKernelChoice, DrawingUsesTheWidestSetTheProcessorRuns) {
    EXPECT_EQ(&over_row_set_at(over_row_set_count() - 1), &over_rows());
}

} // namespace
} // namespace korvel
