// UTF-8 <-> UTF-16: strict decoding, and the escape that carries undecodable bytes of Linux file
// names through UTF-16 and back unchanged.
#include "runtime/utf.h"

#include "runtime/strings.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>

namespace korvel {
namespace {

TEST(Utf, ConvertsEveryEncodedLengthBothWays) {
    const std::string bytes = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF";
    const std::u16string text = u"A\u00E9\u20AC\U0001F600\U0010FFFF";
    EXPECT_EQ(utf16_from_utf8(bytes), text);
    EXPECT_EQ(utf8_from_utf16(text.c_str()), bytes);
}

TEST(Utf, EachByteThatDoesNotDecodeBecomesItsLoneSurrogate) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"\x80", u"\xDC80"},
        {"a\xFF", u"a\xDCFF"},
        {"\xC0\xAF", u"\xDCC0\xDCAF"},                     // overlong '/'
        {"\xE0\x80\xAF", u"\xDCE0\xDC80\xDCAF"},           // overlong three-byte form
        {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},           // encoded surrogate
        {"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"}, // above U+10FFFF
        {"\xE2\x82", u"\xDCE2\xDC82"},                     // cut off at the end
        {"\xF0\x9F\x98"
         "A",
         u"\xDCF0\xDC9F\xDC98"
         u"A"},                            // cut off before a valid byte
        {"\xC3\xC3\xA9", u"\xDCC3\u00E9"}, // a lead byte followed by a sequence
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(utf16_from_utf8(bytes), text);
}

TEST(Utf, EveryByteSequenceRoundTrips) {
    for (int first = 0; first < 256; ++first) {
        for (int second = 0; second < 256; ++second) {
            const std::string bytes{static_cast<char>(first), static_cast<char>(second)};
            const std::u16string text = utf16_from_utf8(bytes);
            ASSERT_EQ(utf8_from_utf16(text.data(), static_cast<std::int32_t>(text.size())), bytes);
        }
    }
    std::mt19937 random(7);
    for (int i = 0; i < 5000; ++i) {
        std::string bytes(1 + random() % 12, '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(0x80 + random() % 0x80);
        const std::u16string text = utf16_from_utf8(bytes);
        ASSERT_EQ(utf8_from_utf16(text.data(), static_cast<std::int32_t>(text.size())), bytes);
    }
}

TEST(Utf, LoneSurrogatesOtherThanEscapedBytesBecomeTheReplacementCharacter) {
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(utf8_from_utf16(u"\xD800"), replacement);
    EXPECT_EQ(utf8_from_utf16(u"\xDC7F"), replacement);
    EXPECT_EQ(utf8_from_utf16(u"\xDE00\xD83D"), replacement + replacement); // reversed pair
    EXPECT_EQ(utf8_from_utf16(u"\xD83D"
                              u"a"),
              replacement + "a");
    EXPECT_EQ(utf8_from_utf16(u"\xD800\xDC80"), "\xF0\x90\x82\x80"); // a pair, not an escape
    EXPECT_EQ(utf8_from_utf16(u"\U0001F600", 1), replacement);       // the length cuts the pair
    EXPECT_EQ(utf8_from_utf16(nullptr), "");
    EXPECT_EQ(utf8_from_utf16(u"abc", 2), "ab");
}

TEST(Utf, WorkspaceFormIsWrittenAtTheResultPosition) {
    strings_init();
    const std::int32_t at = ws_position();
    str_append(u"name: ");
    utf16_from_utf8_at("fr\xC3\xA4me\xFF.png", ws_position());
    EXPECT_EQ(ws_position(), at + 2 * 16);
    ws_finish();
    EXPECT_EQ(std::u16string(ws_result(at)), u"name: fr\u00E4me\xDCFF.png");
}

// Bytes handed over from inside the workspace are read before the result overwrites them.
TEST(Utf, WorkspaceFormAcceptsBytesLyingInTheWorkspace) {
    strings_init();
    const std::int32_t at = ws_position();
    const std::string bytes(40000, 'z');
    std::memcpy(ws_reserve(20000, at), bytes.data(), bytes.size());
    const std::string_view in_workspace(reinterpret_cast<const char*>(ws_text(at)), bytes.size());
    utf16_from_utf8_at(in_workspace, at);
    ws_finish();
    EXPECT_EQ(std::u16string(ws_result(at)), std::u16string(40000, u'z'));
}

} // namespace
} // namespace korvel
