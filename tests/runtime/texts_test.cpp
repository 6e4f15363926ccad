// Texts: whole numbers read and written, frame numbers padded in the workspace, variables set, and
// UTF-8 <-> UTF-16 with the escape that carries the bytes of Linux file names that are not UTF-8.
#include "runtime/strings.h"
#include "runtime/utf.h"

#include <gtest/gtest.h>

namespace korvel {

// Also: str_from_int writes exactly those rows' texts that are the shortest decimal form, and
// str_decimal the same texts.
static void expect_read(const std::vector<std::pair<std::string, std::int64_t>>& cases) {
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(str_to_int(utf16_from_utf8(text).c_str()), value) << text;
        const std::int32_t at = ws_position();
        const std::string written = utf8_from_utf16(str_from_int(value, at));
        ws_restore(at);
        EXPECT_EQ(written == text, text == std::to_string(value)) << text << " / " << written;
        EXPECT_EQ(utf8_from_utf16(str_decimal(value).c_str()), written) << text;
    }
}

TEST(StrToInt, ReadsBlanksASignAPrefixAndDigitsUpToTheFirstOther) {
    expect_read({
        {"100", 100}, {"  255", 255}, {"-12abc", -12},    {"+7", 7},    {"$FF", 255},
        {"$ff", 255}, {"-$10", -16},  {"%101", 5},        {"%1012", 5}, {"%2", 0},
        {"1.5", 1},   {"", 0},        {"abc", 0},         {"- 3", 0},   {"\t -42", -42},
        {"42 ", 42},  {"\n5", 0},     {"+-5", 0},         {"$-1", 0},   {"0x10", 0},
        {"$", 0},     {"$g", 0},      {"%11111111", 255}, {"0", 0},
    });
    expect_read({
        {"$7fffffffffffffff", INT64_MAX},
        {"18446744073709551617", 1}, // wraps modulo 2^64
        {"9223372036854775807", INT64_MAX},
        {"9223372036854775808", INT64_MIN},
        {"-9223372036854775808", INT64_MIN},
        {"$FFFFFFFFFFFFFFFF", -1},
        {"$1FFFFFFFFFFFFFFFF", -1},
    });
}

TEST(StrPadLeft, FillsShortTextsAndCutsLongOnesOnTheRight) {
    const struct {
        const char16_t *text, *pad;
        std::int32_t width;
        std::u16string padded;
    } cases[] = {
        {u"7", u"0", 4, u"0007"},     {u"12345", u"0", 3, u"123"}, {u"123", u"0", 3, u"123"},
        {u"7", u"0", 0, u""},         {u"7", u"0", -5, u""},       {nullptr, u"*", 3, u"***"},
        {u"ab", nullptr, 4, u"  ab"}, {u"ab", u"", 4, u"  ab"},    {u"ab", u"xyz", 4, u"xxab"},
    };
    for (const auto& c : cases) {
        const std::int32_t at = ws_position();
        EXPECT_EQ(str_pad_left(c.text, c.width, c.pad, at), c.padded);
        EXPECT_EQ(ws_position(), at + 2 * std::int32_t(c.padded.size())); // on the terminator
        ws_restore(at);
    }
    // Frame names pad the number in place, over its own text, also in a field wide enough to
    // move the workspace while the source lies in it.
    for (const std::int32_t width : {5, 30000}) {
        const std::int32_t at = ws_position();
        str_pad_left(str_from_int(42, at), width, u"0", at);
        EXPECT_EQ(ws_result(at), std::u16string(width - 2, u'0') + u"42");
    }
}

// A copy of its own, and for no text no block at all.
TEST(StrSet, CopiesTheTextOrFreesTheVariable) {
    str variable = nullptr;
    for (const char16_t* text :
         {u"abc", u"", u"a longer text", static_cast<const char16_t*>(nullptr)}) {
        EXPECT_EQ(str_set(&variable, text), 2 * str_len(text) + 2);
        EXPECT_EQ(str_equal(variable, text), 1);
        EXPECT_TRUE(text ? variable && variable != text : !variable);
    }
}

// Each row converts both ways: valid sequences of every length, and bytes that do not decode.
TEST(Utf, EachByteThatDoesNotDecodeBecomesItsLoneSurrogateAndComesBack) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF", u"Aé€😀\U0010FFFF"},
        {"a\x80\xFF", u"a\xDC80\xDCFF"},
        {"\xC0\xAF", u"\xDCC0\xDCAF"},                         // overlong '/'
        {"\xE0\x80\xAF", u"\xDCE0\xDC80\xDCAF"},               // overlong three-byte form
        {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},               // encoded surrogate
        {"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},     // above U+10FFFF
        {"\xF0\x9F\x98\x41", u"\xDCF0\xDC9F\xDC98\x41"},       // cut off before a valid byte
        {"\xC3\xC3\xA9\xE2\x82", u"\xDCC3\u00E9\xDCE2\xDC82"}, // cut off at the end
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(utf16_from_utf8(bytes), text);
        EXPECT_EQ(utf8_from_utf16(text.c_str()), bytes);
    }
    for (int pair = 0; pair < 0x10000; ++pair) {
        const std::string bytes{char(pair >> 8), char(pair)};
        const std::u16string text = utf16_from_utf8(bytes);
        ASSERT_EQ(utf8_from_utf16(text.data(), std::int32_t(text.size())), bytes);
    }
    // Other lone surrogates, and a pair that the length cuts, become the replacement character.
    const std::string r = "\xEF\xBF\xBD";
    EXPECT_EQ(utf8_from_utf16(u"\xDC7F\xD83D\x61😀", 4), r + r + "a" + r);
}

} // namespace korvel
