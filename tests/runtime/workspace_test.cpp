// The workspace keeps texts across growth because places in it are offsets, and grows in the
// steps its callers rely on.
#include "runtime/strings.h"

#include <gtest/gtest.h>
#include <malloc.h>
#include <string>
#include <thread>

namespace korvel {
namespace {

std::u16string decimal(int value) {
    const std::string digits = std::to_string(value);
    return {digits.begin(), digits.end()};
}

TEST(Workspace, ExpressionLongerThanTheGrowthStepSurvivesEveryGrowth) {
    strings_init();
    const std::int32_t at = ws_position();
    std::u16string expected;
    const std::u16string piece(300, u'x');
    for (int i = 0; i < 100; ++i) {
        str_from_int(i, ws_position());
        str_append(piece.c_str());
        expected += decimal(i) + piece;
    }
    ASSERT_GT(expected.size() * 2, 16384u);
    EXPECT_EQ(ws_position(), at + 2 * static_cast<std::int32_t>(expected.size()));
    ws_finish();
    EXPECT_EQ(std::u16string(ws_result(at)), expected);
    EXPECT_EQ(ws_position(), at);
}

TEST(Workspace, OffsetOfATextFindsItAgainAfterTheBlockMoved) {
    strings_init();
    const std::int32_t at = ws_position();
    str_append(u"kept");
    ws_finish();
    const std::intptr_t offset = ws_offset_of(ws_text(at));
    ASSERT_EQ(offset, at + 1);
    ws_reserve(100000); // far beyond the capacity: the block is reallocated
    EXPECT_EQ(std::u16string(ws_address_of(offset)), u"kept");
    ws_restore(at);

    const char16_t outside[] = u"outside";
    EXPECT_EQ(ws_offset_of(outside), 0);
    EXPECT_EQ(ws_offset_of(nullptr), 0);
}

TEST(Workspace, ReserveShrinkFinishAndRestoreMoveThePositionByBytes) {
    strings_init();
    const std::int32_t at = ws_position();
    char16_t* room = ws_reserve(5);
    EXPECT_EQ(reinterpret_cast<std::uint8_t*>(room), ws_base() + at);
    EXPECT_EQ(ws_position(), at + 10);
    EXPECT_EQ(ws_shrink(2), at + 6);
    ws_finish();
    EXPECT_EQ(ws_position(), at + 8);
    ws_reserve(1, at + 2); // an explicit start replaces the current position
    EXPECT_EQ(ws_position(), at + 4);
    ws_restore(at);
    EXPECT_EQ(ws_position(), at);
}

// A new workspace holds 16 bytes; it grows once a reservation ends 4 bytes short of that, and
// then by 16384 bytes beyond the need.
TEST(Workspace, NewThreadStartsSmallAndGrowsByTheStepBeyondTheNeed) {
    std::size_t before = 0;
    std::size_t after = 0;
    std::int32_t first_position = -1;
    std::thread([&] {
        strings_thread_init();
        first_position = ws_position();
        ws_reserve(5); // ends at byte 10: fits
        before = malloc_usable_size(ws_base());
        ws_reserve(1); // ends at byte 12: grows
        after = malloc_usable_size(ws_base());
    }).join();
    EXPECT_EQ(first_position, 0);
    EXPECT_LT(before, 64u);
    EXPECT_GE(after, 12u + 16384u + 10u);
}

} // namespace
} // namespace korvel
