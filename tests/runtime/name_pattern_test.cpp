// Folder name rules: wildcard matching and the fixed, locale-free case-insensitive order.
#include "runtime/name_order.h"
#include "runtime/name_pattern.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace korvel {
namespace {

struct match_case {
    std::u16string pattern;
    std::u16string name;
    bool matches;
};

TEST(NamePattern, WildcardsAndCaseFollowTheFolderRules) {
    const std::vector<match_case> cases = {
        {u"*.png", u"a.png", true},
        {u"*.png", u"X.PNG", true},
        {u"*.png", u".png", true},
        {u"*.png", u"x.pngx", false},
        {u"*.png", u"png", false},
        {u"*.png", u".", false},
        {u"*", u"", true},
        {u"*", u"..", true},
        {u"*.*", u"README", true},
        {u"*.?", u"README", false},
        {u"a?c", u"abc", true},
        {u"a?c", u"ac", false},
        {u"a?c", u"abbc", false},
        {u"a*b*c", u"aXbYc", true},
        {u"a*b*c", u"acb", false},
        {u"*ab*cd", u"xabyabcd", true},
        {u"*ab*cd", u"abdc", false},
        {u"abc**", u"abc", true},
        {u"", u"", true},
        {u"", u"a", false},
        {u"\u00C9t\u00E9*", u"\u00E9T\u00C9.png", true},
        {u"\u0416*", u"\u0436\u0443\u043A", true},
        {u"?", u"\U0001F600", true},
        {u"??", u"\U0001F600", false},
        {u"\U0001F600.png", u"\U0001F600.PNG", true},
        {u"?.png", u"\xDCFF.png", true}, // a byte that was not UTF-8 is one character
    };
    for (const match_case& c : cases)
        EXPECT_EQ(name_matches(c.pattern, c.name), c.matches)
            << std::string(c.pattern.begin(), c.pattern.end()) << " / "
            << std::string(c.name.begin(), c.name.end());
}

TEST(NamePattern, ManyStarsAgainstALongNameStayFast) {
    const std::u16string name(20000, u'a');
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(name_matches(u"*a*a*a*a*a*a*a*a*a*b", name));
    EXPECT_TRUE(name_matches(u"*a*a*a*a*a*a*a*a*a*a", name));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(NameOrder, UpperCasingCoversTheTableAndNothingElse) {
    const std::vector<std::pair<char16_t, char16_t>> pairs = {
        {u'q', u'Q'},   {u'Q', u'Q'},   {u'_', u'_'},     {0xE9, 0xC9},     {0xF7, 0xF7},
        {0xFF, 0x178},  {0xDF, 0xDF},   {0x101, 0x100},   {0x100, 0x100},   {0x131, 0x131},
        {0x138, 0x138}, {0x13A, 0x139}, {0x149, 0x149},   {0x14B, 0x14A},   {0x17E, 0x17D},
        {0x17F, 0x17F}, {0x3B1, 0x391}, {0x3C2, 0x3C2},   {0x3C9, 0x3A9},   {0x430, 0x410},
        {0x451, 0x401}, {0x45F, 0x40F}, {0x4E00, 0x4E00}, {0xDCFF, 0xDCFF},
    };
    for (const auto& [unit, upper] : pairs)
        EXPECT_EQ(upper_unit(unit), upper) << std::hex << int(unit);
}

TEST(NameOrder, SortsByUpperCasedUnitsThenPlainUnits) {
    std::vector<std::u16string> names = {u"c03.Png", u"_zeta", u"a01.png", u"B02.PNG",
                                         u"a",       u"A",     u"a0",      u"\u00E9"};
    std::sort(names.begin(), names.end(),
              [](const auto& a, const auto& b) { return compare_names(a, b) < 0; });
    // Upper-cased "A" (0x41) comes before "_" (0x5F), though plain "_" precedes "a" (0x61).
    const std::vector<std::u16string> expected = {u"A",       u"a",       u"a0",    u"a01.png",
                                                  u"B02.PNG", u"c03.Png", u"_zeta", u"\u00E9"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(compare_names(u"a.png", u"a.png"), 0);
    EXPECT_EQ(compare_names(u"A.png", u"a.png"), -compare_names(u"a.png", u"A.png"));
}

} // namespace
} // namespace korvel
