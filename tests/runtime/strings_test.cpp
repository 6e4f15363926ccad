// String variables, concatenation and comparison, including the null variable as the empty text.
#include "runtime/strings.h"

#include <gtest/gtest.h>
#include <string>

namespace korvel {
namespace {

TEST(StringVariables, NullVariableIsTheEmptyTextEverywhere) {
    strings_init();
    str variable = nullptr;
    EXPECT_EQ(str_len(variable), 0);
    EXPECT_EQ(str_equal(variable, u""), 1);
    EXPECT_EQ(str_to_int(variable), 0);
    const std::int32_t at = ws_position();
    str_append(u"a");
    str_append(variable);
    str_append(u"b");
    ws_finish();
    EXPECT_EQ(std::u16string(ws_result(at)), u"ab");
}

TEST(StringVariables, EqualComparesEveryCodeUnitAndTheLength) {
    EXPECT_EQ(str_equal(nullptr, nullptr), 1);
    EXPECT_EQ(str_equal(u"", nullptr), 1);
    EXPECT_EQ(str_equal(u"a", u"A"), 0);
    EXPECT_EQ(str_equal(u"ab", u"abc"), 0);
    EXPECT_EQ(str_equal(u"abc", u"ab"), 0);
    EXPECT_EQ(str_equal(u"a\U0001F600", u"a\U0001F600"), 1);
    EXPECT_EQ(str_equal(u"x", nullptr), 0);
}

TEST(StringVariables, SetCopiesTheTextAndNullFreesIt) {
    str variable = nullptr;
    char16_t source[] = u"frame";
    EXPECT_EQ(str_set(&variable, source), 12);
    source[0] = u'F';
    EXPECT_EQ(std::u16string(variable), u"frame");
    EXPECT_EQ(str_set(&variable, variable + 2), 8); // from inside its own block
    EXPECT_EQ(std::u16string(variable), u"ame");
    EXPECT_EQ(str_set(&variable, u""), 2);
    EXPECT_NE(variable, nullptr);
    EXPECT_EQ(str_set(&variable, nullptr), 2);
    EXPECT_EQ(variable, nullptr);
}

TEST(StringVariables, AssignTakesTheBuiltTextAndGivesTheRoomBack) {
    strings_init();
    str variable = nullptr;
    const std::int32_t at = ws_position();
    str_append(u"Layers ");
    str_from_int(100, ws_position());
    str_assign(&variable, at);
    EXPECT_EQ(ws_position(), at);
    EXPECT_EQ(std::u16string(variable), u"Layers 100");
    str_assign(&variable, at);
    EXPECT_EQ(str_len(variable), 0);
    str_free(variable);
}

// Appending a text that lies in the workspace while the workspace grows under it.
TEST(StringVariables, AppendOfAWorkspaceTextSurvivesGrowthDuringTheAppend) {
    strings_init();
    const std::int32_t at = ws_position();
    str_append(u"abc");
    ws_finish();
    const std::int32_t built = ws_position();
    for (int i = 0; i < 10000; ++i)
        str_append(ws_text(at));
    ws_finish();
    const std::u16string result = ws_result(built);
    ws_restore(at);
    ASSERT_EQ(result.size(), 30000u);
    EXPECT_EQ(result.find_first_not_of(u"abc"), std::u16string::npos);
    EXPECT_EQ(result.substr(29997), u"abc");
}

} // namespace
} // namespace korvel
