// How folders are listed: wildcard matching, the fixed locale-free case rule, and enumerations of
// real folders (order, the first and last entry, restarts, failures).
#include "runtime/directory.h"
#include "runtime/name_order.h"
#include "runtime/name_pattern.h"
#include "runtime/strings.h"
#include "runtime/utf.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

namespace korvel {

using names = std::vector<std::u16string>;

TEST(NamePattern, WildcardsAndCaseFollowTheFolderRules) {
    const struct {
        std::u16string pattern;
        names matching, other;
    } cases[] = {
        {u"*.png", {u"a.png", u"X.PNG", u".png"}, {u"x.pngx", u"png", u"."}},
        {u"*", {u"", u".."}, {}},
        {u"*.*", {u"README", u"a.b"}, {}}, // the conventional "every name"
        {u"*.?", {u"a.b"}, {u"README"}},
        {u"a?c", {u"abc", u"a😀c"}, {u"ac", u"abbc"}}, // a surrogate pair is one character
        {u"*ab*cd", {u"xabyabcd"}, {u"abdc"}},
        {u"abc**", {u"abc"}, {u"ab"}},
        {u"", {u""}, {u"a"}},
        {u"Été*", {u"éTÉ.png"}, {u"ete"}},
        {u"?.png", {u"\xDCFF.png"}, {}}, // a byte that was not UTF-8 is one character
    };
    for (const auto& c : cases)
        for (const bool matches : {true, false})
            for (const auto& name : matches ? c.matching : c.other)
                EXPECT_EQ(name_matches(c.pattern, name), matches) << utf8_from_utf16(name.c_str());
    // Stars keep no backtracking history, so a long name cannot make the match explode.
    EXPECT_FALSE(name_matches(u"*a*a*a*a*a*a*a*a*a*b", std::u16string(20000, u'a')));
}

// Letters whose capital is one unit away in the same block, and those left alone on purpose.
TEST(NameOrder, UpperCasingCoversTheFixedTableAndNothingElse) {
    const std::u16string units = u"qQ_éÿ÷ßāĀıĸĺŉŋžſαςωаёџ一\xDCFF";
    const std::u16string upper = u"QQ_ÉŸ÷ßĀĀıĸĹŉŊŽſΑςΩАЁЏ一\xDCFF";
    for (std::size_t i = 0; i < units.size(); ++i)
        EXPECT_EQ(upper_unit(units[i]), upper[i]) << std::hex << int(units[i]);
}

class Directory : public ::testing::Test {
protected:
    static constexpr const char* files[] = {"c03.Png", "a01.png", "B02.PNG", "_z.png", "a.png",
                                            "A.png",   "é.png",   "É.png",   "ÿ.png",  "Ÿ.png",
                                            "ж.png",   "x.pngx",  "n.txt"};
    void SetUp() override {
        for (const char* leaf : files)
            folder_.write(leaf, "");
        folder_.make_folder("d.png"); // a folder named like a frame
    }
    std::u16string entry_name(obj_number n) const {
        const std::int32_t at = ws_position();
        std::u16string name = dir_entry_name(n, at);
        ws_restore(at);
        return name;
    }
    names remaining_entries(obj_number n) const {
        names found;
        while (dir_next_entry(n))
            found.push_back(entry_name(n));
        return found;
    }
    test::scratch_folder folder_;
    const std::u16string root_ = folder_.name("");
};

// Names compare by their upper-cased units first and by their plain units only when they tie.
TEST_F(Directory, MatchingNamesComeSortedFirstBeforeFetchingAndLastAfterTheEnd) {
    const names sorted = {u"A.png",  u"a.png", u"a01.png", u"B02.PNG", u"c03.Png", u"d.png",
                          u"_z.png", u"É.png", u"é.png",   u"ÿ.png",   u"Ÿ.png",   u"ж.png"};
    for (int run = 0; run < 2; ++run) { // a second examine starts over
        ASSERT_NE(dir_examine(0, root_.c_str(), u"*.png"), 0);
        EXPECT_EQ(entry_name(0), u"A.png");
        EXPECT_EQ(remaining_entries(0), sorted);
        EXPECT_EQ(dir_next_entry(0), 0);
        EXPECT_EQ(entry_name(0), u"ж.png");
    }
    ASSERT_NE(dir_examine(0, root_.c_str(), u"*.jpg"), 0); // live, but delivers nothing
    EXPECT_EQ(dir_next_entry(0), 0);
    EXPECT_EQ(entry_name(0), u"");
    ASSERT_NE(dir_examine(0, root_.c_str(), nullptr), 0); // every name, the dot entries first
    const names all = remaining_entries(0);
    EXPECT_EQ(names(all.begin(), all.begin() + 3), (names{u".", u"..", u"A.png"}));
    EXPECT_EQ(all.size(), std::size(files) + 3); // with the folder and the dot entries
    using namespace std::literals;
    for (const std::string& bad : {"missing"s, "n.txt"s, std::string(5000, 'x')}) {
        ASSERT_NE(dir_examine(0, root_.c_str(), u"*.png"), 0);
        EXPECT_EQ(dir_examine(0, folder_.name(bad).c_str(), u"*.png"), 0) << bad;
        EXPECT_EQ(entry_name(0), u""); // the enumeration that was there is gone
    }
}

} // namespace korvel
