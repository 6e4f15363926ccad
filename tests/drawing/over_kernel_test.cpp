// The over rows of every instruction set this processor runs against the plain formula: every
// opacity with every destination alpha, over source alphas all 0, all 255, all one value or any
// (each takes its own path), in rows of every width to 41 from unaligned starts: vector blocks and
// row tails byte for byte, the bytes around each row untouched. (The colour copy is held to it by
// every 24-bit layer drawn at full opacity in compositing_test.)
#include "drawing/over_kernel.h"
#include "tests/drawing/plain_over.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace korvel {
namespace {

constexpr int GUARD = 16; // bytes before and after each row

using plain_row = void (*)(std::uint8_t*, const std::uint8_t*, std::int32_t, std::int32_t, bool);

// The first case where the fast row and the plain one give other bytes, or "".
std::string sweep(over_row fast, plain_row plain, int source_bytes, bool keep_alpha) {
    std::mt19937 rng(source_bytes * 2 + keep_alpha);
    for (int opacity = 0; opacity < 256; ++opacity)
        for (int dest_alpha = 0; dest_alpha < 256; ++dest_alpha) {
            const int k = opacity * 31 + dest_alpha, width = 1 + k % 41,
                      kind = (opacity + dest_alpha) % 4;
            const int from = k % 4 * source_bytes, to = GUARD + k / 4 % 4 * 4,
                      alpha[3] = {int(rng() % 256), 0, 255};
            std::vector<std::uint8_t> src(from + width * source_bytes),
                want(to + width * 4 + GUARD);
            for (std::uint8_t& b : src)
                b = std::uint8_t(rng());
            for (std::uint8_t& b : want)
                b = std::uint8_t(rng());
            for (int i = 0; i < width; ++i) { // source alphas all one value, 0 or 255, or any
                want[to + i * 4 + 3] = std::uint8_t(dest_alpha);
                if (source_bytes == 4 && kind < 3)
                    src[from + i * 4 + 3] = std::uint8_t(alpha[kind]);
            }
            std::vector<std::uint8_t> got = want;
            fast(&got[to], &src[from], width, opacity);
            plain(&want[to], &src[from], width, opacity, keep_alpha);
            if (got != want) // opacity, destination alpha, width
                return std::to_string(opacity) + ", " + std::to_string(dest_alpha) + ", " +
                       std::to_string(width);
        }
    return "";
}

TEST(OverKernel, EveryRowOfEverySetMatchesThePlainFormula) {
    for (int set = 0; set < over_row_set_count(); ++set) {
        const over_row_set& rows = over_row_set_at(set);
        SCOPED_TRACE(rows.name);
        EXPECT_EQ(sweep(rows.bgra, plain::over_row_bgra, 4, false), "");
        EXPECT_EQ(sweep(rows.bgra_keep_alpha, plain::over_row_bgra, 4, true), "");
        EXPECT_EQ(sweep(rows.bgr, plain::over_row_bgr, 3, false), "");
        EXPECT_EQ(sweep(rows.bgr_keep_alpha, plain::over_row_bgr, 3, true), "");
    }
    EXPECT_EQ(&over_row_set_at(over_row_set_count() - 1), &over_rows()) << "the widest is used";
}

} // namespace
} // namespace korvel
