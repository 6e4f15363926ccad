// The preference file format without any file: decoding, line syntax, and the writer's layout.
#include "runtime/pref_format.h"
#include "runtime/pref_parse.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

pref_entry group(std::string name) {
    return {pref_entry_kind::group, {}, std::move(name)};
}
pref_entry comment(std::string text) {
    return {pref_entry_kind::comment, {}, std::move(text)};
}
pref_entry key(std::string k, std::string v) {
    return {pref_entry_kind::key, std::move(k), std::move(v)};
}

TEST(PrefParse, CrLfOrEndOfContentsEndLinesAndBlankLinesGiveNoEntries) {
    EXPECT_EQ(pref_parse("a=1\r\n\r\n\nb=2\rc=3\n\r \t \r\nd=4"),
              (pref_entries{key("a", "1"), key("b", "2"), key("c", "3"), key("d", "4")}));
    EXPECT_TRUE(pref_parse("\r\n\n  \t").empty());
    EXPECT_EQ(pref_parse("[G]\nk=1\n[g]\nK=2"),
              (pref_entries{group("G"), key("k", "1"), group("g"), key("K", "2")}));
}

TEST(PrefParse, FirstCharacterAfterTheLeadingBlanksDecidesTheKind) {
    const std::pair<std::string, pref_entry> cases[] = {
        {" \t; note", comment("note")},
        {";  two", comment(" two")},
        {";\ttab", comment("\ttab")},
        {";", comment("")},
        {"\t[ My Group ]tail", group(" My Group ")},
        {"[a]b]", group("a")},
        {"[open ", group("open ")},
        {"  Width\t =  \t640 \t", key("Width", "640 \t")},
        {"a = b = c", key("a", "b = c")},
        {"=v", key("", "v")},
        {"lonely \t", key("lonely", "")},
        {"k=", key("k", "")},
        {"caf\xC3\xA9=\xC3\xA9t\xC3\xA9", key("caf\xC3\xA9", "\xC3\xA9t\xC3\xA9")},
    };
    for (const auto& [line, entry] : cases)
        EXPECT_EQ(pref_parse(line), pref_entries{entry}) << line;
}

TEST(PrefDecode, MarkedContentsAreUtf8AsTheyAreAndAllOthersLatin1) {
    EXPECT_EQ(pref_decode("\xEF\xBB\xBF"
                          "caf\xC3\xA9"),
              "caf\xC3\xA9");
    EXPECT_EQ(pref_decode("\xEF\xBB\xBF\xFF\xC3"), "\xFF\xC3");
    EXPECT_EQ(pref_decode("\xEF\xBB\xBF"), "");
    EXPECT_EQ(pref_decode("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(pref_decode(std::string("\0\x7F\x80\xBF\xC0\xFF", 6)),
              std::string("\0\x7F\xC2\x80\xC2\xBF\xC3\x80\xC3\xBF", 10));
    EXPECT_EQ(pref_decode("\xEF\xBB"), "\xC3\xAF\xC2\xBB");
    EXPECT_EQ(pref_decode(""), "");
}

TEST(PrefFormat, MarkLineFirstThenOneCrLfLinePerEntry) {
    const pref_entries entries{comment("by hand"),   key("Top", "1"), group("Resolution"),
                               key("Width", "640 "), group(""),       key("", "")};
    EXPECT_EQ(pref_format(entries, true), "\xEF\xBB\xBF\r\n; by hand\r\nTop = 1\r\n[Resolution]\r\n"
                                          "Width = 640 \r\n[]\r\n = \r\n");
    EXPECT_EQ(pref_format({entries[0], entries[1]}, false), "; by hand\r\nTop = 1\r\n");
    EXPECT_EQ(pref_format({}, true), "\xEF\xBB\xBF\r\n");
    EXPECT_EQ(pref_format({}, false), "");
}

TEST(PrefFormat, WrittenEntriesParseBackUnchanged) {
    const pref_entries entries{comment("c ;"),    key("k", "v  "),
                               group(" spaced "), key("key with blanks", "[x]"),
                               key("e", ""),      group("\xC3\xA9")};
    EXPECT_EQ(pref_parse(pref_decode(pref_format(entries, true))), entries);
}

// File names on Linux may hold line breaks; written verbatim they would add groups and keys.
TEST(PrefFormat, LineBreaksInsideTextsCannotAddEntries) {
    const std::string bytes =
        pref_format({group("File\nNames"), key("1", "a\r\n[Resolution]\nWidth = 9")}, false);
    EXPECT_EQ(bytes, "[File Names]\r\n1 = a  [Resolution] Width = 9\r\n");
    EXPECT_EQ(pref_parse(pref_decode(bytes)).size(), 2u);
}

} // namespace
} // namespace korvel
