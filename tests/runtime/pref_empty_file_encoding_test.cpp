// An existing empty preference file is written back without the UTF-8 mark, which makes the next
// open read it as ISO 8859-1. What is written into it must still read back as it was written.
#include "runtime/prefs.h"
#include "runtime/strings.h"
#include "tests/runtime/scratch_folder.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

std::u16string read(const char16_t* key) {
    const std::int32_t at = ws_position();
    std::u16string value = pref_read_string(key, u"missing", at);
    ws_restore(at);
    return value;
}

class PrefEmptyFile : public ::testing::Test {
protected:
    void SetUp() override {
        strings_init();
        prefs_init();
        folder_.write("empty.ini", "");
    }
    void TearDown() override { pref_close(); }

    void write_then_reopen(const char16_t* group, const char16_t* key, const char16_t* value) {
        ASSERT_NE(pref_open(file().c_str()), 0);
        pref_group(group);
        ASSERT_EQ(pref_write_string(key, value), 1);
        pref_close();
        pref_open(file().c_str());
        pref_group(group);
    }
    std::u16string file() const { return folder_.name("empty.ini"); }
    scratch_folder folder_;
};

TEST_F(PrefEmptyFile, NonAsciiValueReadsBackUnchanged) {
    write_then_reopen(u"Folders", u"Input", u"/home/jos\u00E9/\u30D5\u30EC\u30FC\u30E0");
    EXPECT_EQ(read(u"Input"), u"/home/jos\u00E9/\u30D5\u30EC\u30FC\u30E0");
    EXPECT_TRUE(folder_.read("empty.ini").starts_with("\xEF\xBB\xBF\r\n"));
}

TEST_F(PrefEmptyFile, NonAsciiGroupAndKeyReadBackUnchanged) {
    write_then_reopen(u"Gr\u00FC\u00DFe", u"Schl\u00FCssel", u"1");
    EXPECT_EQ(read(u"Schl\u00FCssel"), u"1");
}

TEST_F(PrefEmptyFile, PlainAsciiStaysWithoutTheMark) {
    write_then_reopen(u"G", u"k", u"v");
    EXPECT_EQ(folder_.read("empty.ini"), "[G]\r\nk = v\r\n");
    EXPECT_EQ(read(u"k"), u"v");
}

} // namespace
} // namespace korvel
