// Number texts and padding: the forms the output frame names and the gadget values depend on.
#include "runtime/strings.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <string>

namespace korvel {
namespace {

std::u16string from_int(std::int64_t value) {
    const std::int32_t at = ws_position();
    const char16_t* text = str_from_int(value, at);
    EXPECT_EQ(ws_position(), at + 2 * str_len(text)); // position rests on the terminator
    ws_finish();
    return ws_result(at);
}

std::u16string pad_left(const char16_t* text, std::int32_t width, const char16_t* pad) {
    const std::int32_t at = ws_position();
    str_pad_left(text, width, pad, at);
    EXPECT_EQ(ws_position(), at + 2 * std::max(width, 0));
    ws_finish();
    return ws_result(at);
}

TEST(StrFromInt, WritesTheShortestDecimalForm) {
    strings_init();
    EXPECT_EQ(from_int(0), u"0");
    EXPECT_EQ(from_int(7), u"7");
    EXPECT_EQ(from_int(-45), u"-45");
    EXPECT_EQ(from_int(INT32_MIN), u"-2147483648");
    EXPECT_EQ(from_int(INT64_MAX), u"9223372036854775807");
    EXPECT_EQ(from_int(INT64_MIN), u"-9223372036854775808");
}

TEST(StrToInt, ReadsSignsPrefixesAndStopsAtTheFirstNonDigit) {
    const std::pair<const char16_t*, std::int64_t> cases[] = {
        {u"100", 100}, {u"  255", 255}, {u"-12abc", -12}, {u"+7", 7},   {u"$FF", 255},
        {u"$ff", 255}, {u"-$10", -16},  {u"%101", 5},     {u"1.5", 1},  {u"", 0},
        {u"abc", 0},   {u"- 3", 0},     {u"\t -42", -42}, {u"42 ", 42}, {u"%2", 0},
        {u"\n5", 0},   {u"+-5", 0},     {u"$-1", 0},      {u"0x10", 0}, {u"$", 0},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(str_to_int(text), value) << std::string(text, text + str_len(text));
    }
}

TEST(StrToInt, OverflowWrapsModulo2To64) {
    EXPECT_EQ(str_to_int(u"18446744073709551617"), 1);
    EXPECT_EQ(str_to_int(u"9223372036854775808"), INT64_MIN);
    EXPECT_EQ(str_to_int(u"-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(str_to_int(u"$FFFFFFFFFFFFFFFF"), -1);
    EXPECT_EQ(str_to_int(u"$1FFFFFFFFFFFFFFFF"), -1);
}

TEST(StrToInt, ReadsBackEveryValueThatStrFromIntWrote) {
    strings_init();
    std::mt19937_64 random(42);
    for (int i = 0; i < 2000; ++i) {
        const std::uint64_t bits = random() >> (i % 64);
        const auto signed_value = static_cast<std::int64_t>(i % 2 ? 0 - bits : bits);
        EXPECT_EQ(str_to_int(from_int(signed_value).c_str()), signed_value);
    }
}

TEST(StrPadLeft, FillsShortTextsAndCutsLongOnesOnTheRight) {
    strings_init();
    EXPECT_EQ(pad_left(u"7", 4, u"0"), u"0007");
    EXPECT_EQ(pad_left(u"12345", 3, u"0"), u"123");
    EXPECT_EQ(pad_left(u"123", 3, u"0"), u"123");
    EXPECT_EQ(pad_left(u"7", 0, u"0"), u"");
    EXPECT_EQ(pad_left(u"7", -5, u"0"), u"");
    EXPECT_EQ(pad_left(nullptr, 3, u"*"), u"***");
    EXPECT_EQ(pad_left(u"ab", 4, nullptr), u"  ab");
    EXPECT_EQ(pad_left(u"ab", 4, u""), u"  ab"); // an empty pad text pads with spaces
    EXPECT_EQ(pad_left(u"ab", 4, u"xyz"), u"xxab");
}

// The output frame names: the frame number is padded in place, over its own text.
TEST(StrPadLeft, PadsATextThatLiesAtTheResultPosition) {
    strings_init();
    const std::int32_t at = ws_position();
    str_from_int(42, at);
    str_pad_left(ws_text(at), 5, u"0", at);
    ws_finish();
    EXPECT_EQ(std::u16string(ws_result(at)), u"00042");

    str_from_int(9, at); // a field wide enough to move the block while the source is in it
    str_pad_left(ws_text(at), 30000, u"0", at);
    ws_finish();
    const std::u16string wide = ws_result(at);
    EXPECT_EQ(wide, std::u16string(29999, u'0') + u"9");
}

} // namespace
} // namespace korvel
