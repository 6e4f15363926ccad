// Name matching and lookups on a preference file's entries.
#include "runtime/pref_document.h"
#include "runtime/pref_parse.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

TEST(PrefSameName, OnlyTheLettersAToZMatchEitherCase) {
    EXPECT_TRUE(pref_same_name("Total Images", "tOTAL iMAGES"));
    EXPECT_TRUE(pref_same_name("", ""));
    EXPECT_FALSE(pref_same_name("[@\\", "{`|"));
    EXPECT_FALSE(pref_same_name("\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89"));
    EXPECT_FALSE(pref_same_name("Width", "Widt"));
}

TEST(PrefDocument, LookupsStayInTheSelectedSectionSkipCommentsAndTakeTheFirst) {
    pref_document document(pref_parse("k=top\n[A]\n; k = note\nk=first\nK=second\n[B]\nx=1\n"
                                      "[a]\nk=other group\n"));
    ASSERT_TRUE(document.find_value("k"));
    EXPECT_EQ(*document.find_value("k"), "top");
    ASSERT_TRUE(document.select_group("a"));
    ASSERT_TRUE(document.find_value("K"));
    EXPECT_EQ(*document.find_value("K"), "first");
    ASSERT_TRUE(document.select_group("B"));
    EXPECT_FALSE(document.find_value("k"));
    EXPECT_FALSE(document.select_group("C"));
    EXPECT_FALSE(document.find_value("x"));
    EXPECT_TRUE(document.select_group(""));
    EXPECT_EQ(*document.find_value("k"), "top");
}

} // namespace
} // namespace korvel
