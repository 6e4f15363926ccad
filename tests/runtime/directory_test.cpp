// Folder enumerations on a real file system: order, matching, the rules for the first and last
// entry, restarts, failures, the current directory and names that are not UTF-8.
#include "runtime/directory.h"
#include "runtime/files.h"
#include "runtime/strings.h"
#include "runtime/utf.h"
#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace korvel {
namespace {

std::u16string entry_name(obj_number n) {
    const std::int32_t at = ws_position();
    const char16_t* name = dir_entry_name(n, at);
    EXPECT_EQ(ws_position(), at + 2 * str_len(name)); // the position rests on the terminator
    std::u16string copy = name;
    ws_restore(at);
    return copy;
}

std::vector<std::u16string> remaining_entries(obj_number n) {
    std::vector<std::u16string> names;
    while (dir_next_entry(n))
        names.push_back(entry_name(n));
    return names;
}

class Directory : public ::testing::Test {
protected:
    void SetUp() override {
        strings_init();
        for (const char* leaf : {"c03.Png", "a01.png", "B02.PNG", "notes.txt", "x.pngx"})
            folder_.write(leaf, "");
        std::filesystem::create_directory(folder_.path("d.png"));
    }
    void TearDown() override {
        for (obj_number n : {0, 1, 2})
            dir_finish(n);
    }
    scratch_folder folder_;
};

TEST_F(Directory, MatchingNamesComeSortedIgnoringCaseFoldersIncluded) {
    ASSERT_NE(dir_examine(0, folder_.name("").c_str(), u"*.png"), 0);
    EXPECT_EQ(remaining_entries(0),
              (std::vector<std::u16string>{u"a01.png", u"B02.PNG", u"c03.Png", u"d.png"}));
}

TEST_F(Directory, EmptyPatternListsEveryNameWithTheDotEntriesFirst) {
    ASSERT_NE(dir_examine(0, folder_.name("").c_str(), nullptr), 0);
    const std::vector<std::u16string> names = remaining_entries(0);
    ASSERT_EQ(names.size(), 8u);
    EXPECT_EQ(names[0], u".");
    EXPECT_EQ(names[1], u"..");
    EXPECT_EQ(names[7], u"x.pngx");
}

TEST_F(Directory, FolderWithOrWithoutTrailingSlashListsTheSame) {
    std::u16string with_slash = folder_.name("");
    std::u16string without = with_slash.substr(0, with_slash.size() - 1);
    dir_examine(0, with_slash.c_str(), u"*.png");
    dir_examine(1, without.c_str(), u"*.png");
    EXPECT_EQ(remaining_entries(0), remaining_entries(1));
}

TEST_F(Directory, EmptyFolderTextListsTheCurrentDirectory) {
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(folder_.root());
    ASSERT_NE(dir_examine(0, u"", u"b*"), 0);
    ASSERT_NE(dir_examine(1, nullptr, u"*.TXT"), 0);
    std::filesystem::current_path(previous);
    EXPECT_EQ(remaining_entries(0), std::vector<std::u16string>{u"B02.PNG"});
    EXPECT_EQ(remaining_entries(1), std::vector<std::u16string>{u"notes.txt"});
}

TEST_F(Directory, FirstNameIsReadableBeforeFetchingAndLastNameAfterTheEnd) {
    dir_examine(0, folder_.name("").c_str(), u"*.png");
    EXPECT_EQ(entry_name(0), u"a01.png");
    EXPECT_EQ(remaining_entries(0).size(), 4u);
    EXPECT_EQ(dir_next_entry(0), 0);
    EXPECT_EQ(entry_name(0), u"d.png");
}

TEST_F(Directory, SecondExamineRestartsFromTheFirstEntry) {
    dir_examine(0, folder_.name("").c_str(), u"*.png");
    dir_next_entry(0);
    dir_next_entry(0);
    EXPECT_EQ(entry_name(0), u"B02.PNG");
    dir_examine(0, folder_.name("").c_str(), u"*.png");
    EXPECT_EQ(remaining_entries(0).size(), 4u);
}

TEST_F(Directory, FolderWithoutMatchesIsALiveEnumerationThatDeliversNothing) {
    ASSERT_NE(dir_examine(0, folder_.name("").c_str(), u"*.jpg"), 0);
    EXPECT_EQ(dir_next_entry(0), 0);
    EXPECT_EQ(entry_name(0), u"");
}

TEST_F(Directory, UnreadableFolderFailsAndLeavesTheNumberFree) {
    for (const std::string& missing :
         std::vector<std::string>{"missing", "notes.txt", std::string(5000, 'x')}) {
        ASSERT_NE(dir_examine(0, folder_.name("").c_str(), u"*.png"), 0);
        EXPECT_EQ(dir_examine(0, folder_.name(missing).c_str(), u"*.png"), 0) << missing;
        EXPECT_EQ(dir_next_entry(0), 0);
        EXPECT_EQ(entry_name(0), u"");
    }
    EXPECT_EQ(dir_examine(NUMBER_ANY, folder_.name("missing").c_str(), u"*"), 0);
}

TEST_F(Directory, LongFolderPathIsNeverCutShort) {
    std::string deep = "";
    for (int level = 0; level < 12; ++level)
        deep += std::string(30, char('a' + level)) + "/";
    std::filesystem::create_directories(folder_.path(deep));
    folder_.write(deep + "frame.png", "");
    ASSERT_NE(dir_examine(0, folder_.name(deep).c_str(), u"*.png"), 0);
    EXPECT_EQ(remaining_entries(0), std::vector<std::u16string>{u"frame.png"});
}

TEST_F(Directory, NumberAnyGivesAnIdentifierUntilFinished) {
    const obj_number id = dir_examine(NUMBER_ANY, folder_.name("").c_str(), u"c*");
    ASSERT_NE(id, 0);
    EXPECT_EQ(entry_name(id), u"c03.Png");
    dir_finish(id);
    EXPECT_EQ(dir_next_entry(id), 0);
}

TEST_F(Directory, NameThatIsNotUtf8IsListedOpenedAndDeletedByItsOwnBytes) {
    const std::string raw = "frame\xFF\xC3(.png";
    const int fd = open(folder_.path(raw).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    close(fd);
    dir_examine(0, folder_.name("").c_str(), u"frame*");
    ASSERT_EQ(dir_next_entry(0), 1);
    const std::u16string name = entry_name(0);
    EXPECT_EQ(utf8_from_utf16(name.c_str()), raw);

    const std::u16string path = folder_.name("") + name;
    ASSERT_NE(file_open_read(0, path.c_str()), 0);
    file_close(0);
    EXPECT_NE(file_delete(path.c_str()), 0);
    EXPECT_FALSE(folder_.exists(raw));
}

} // namespace
} // namespace korvel
