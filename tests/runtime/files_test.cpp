// Numbered file objects and the path operations: open and close, reuse of numbers, the end of
// program, delete, rename over an existing file, and the attribute bits.
#include "runtime/file_share.h"
#include "runtime/files.h"
#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace korvel {
namespace {

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        files_init();
        folder_.write("a.txt", "alpha");
        folder_.write("b.txt", "beta");
    }
    void TearDown() override { files_end(); }

    // True when nothing holds the file against writing: a replacing create succeeds.
    bool writable(const std::string& leaf) const {
        const int fd = shared_open(folder_.name(leaf).c_str(), ACCESS_WRITE, SHARE_READ,
                                   open_disposition::open_existing);
        if (fd >= 0) shared_close(fd);
        return fd >= 0;
    }
    scratch_folder folder_;
};

TEST_F(Files, OpenReadNeedsAnExistingRegularFile) {
    EXPECT_EQ(file_open_read(0, folder_.name("missing").c_str()), 0);
    EXPECT_EQ(file_open_read(0, folder_.name("").c_str()), 0); // a folder
    ASSERT_EQ(mkfifo(folder_.path("pipe").c_str(), 0600), 0);
    EXPECT_EQ(file_open_read(0, folder_.name("pipe").c_str()), 0); // and does not hang
    EXPECT_EQ(file_open_read(0, nullptr), 0);
    EXPECT_NE(file_open_read(0, folder_.name("a.txt").c_str()), 0);
}

TEST_F(Files, CloseReleasesTheFileForWritingAndDeletion) {
    ASSERT_NE(file_open_read(1, folder_.name("a.txt").c_str()), 0);
    EXPECT_FALSE(writable("a.txt"));
    EXPECT_EQ(file_delete(folder_.name("a.txt").c_str()), 0);
    file_close(1);
    file_close(1); // a free number is ignored
    EXPECT_TRUE(writable("a.txt"));
    EXPECT_NE(file_delete(folder_.name("a.txt").c_str()), 0);
    EXPECT_FALSE(folder_.exists("a.txt"));
    EXPECT_EQ(file_delete(folder_.name("a.txt").c_str()), 0);
    EXPECT_EQ(file_delete(nullptr), 0);
}

TEST_F(Files, OpeningUnderAUsedNumberClosesTheOldFile) {
    ASSERT_NE(file_open_read(2, folder_.name("a.txt").c_str()), 0);
    ASSERT_NE(file_open_read(2, folder_.name("b.txt").c_str()), 0);
    EXPECT_TRUE(writable("a.txt"));
    EXPECT_FALSE(writable("b.txt"));
}

TEST_F(Files, NumberAnyAndFilesEndCloseEveryFile) {
    const obj_number id = file_open_read(NUMBER_ANY, folder_.name("a.txt").c_str());
    ASSERT_NE(id, 0);
    ASSERT_NE(file_open_read(3, folder_.name("b.txt").c_str()), 0);
    file_close(NUMBER_ANY); // ignored
    EXPECT_FALSE(writable("a.txt"));
    files_end();
    EXPECT_TRUE(writable("a.txt"));
    EXPECT_TRUE(writable("b.txt"));
    EXPECT_EQ(file_open_read(NUMBER_ANY, folder_.name("missing").c_str()), 0);
}

TEST_F(Files, RenameReplacesTheTargetUnlessEitherFileIsHeld) {
    const std::u16string from = folder_.name("b.txt");
    const std::u16string to = folder_.name("a.txt");
    for (const std::u16string& held : {from, to}) {
        ASSERT_NE(file_open_read(0, held.c_str()), 0);
        EXPECT_EQ(file_rename(from.c_str(), to.c_str()), 0);
        file_close(0);
    }
    EXPECT_EQ(folder_.read("a.txt"), "alpha");
    EXPECT_NE(file_rename(from.c_str(), to.c_str()), 0);
    EXPECT_EQ(folder_.read("a.txt"), "beta");
    EXPECT_FALSE(folder_.exists("b.txt"));
    EXPECT_EQ(file_rename(from.c_str(), to.c_str()), 0); // the source is gone
    EXPECT_EQ(file_rename(nullptr, to.c_str()), 0);
}

TEST_F(Files, AttributesMapReadOnlyToWriteBitsAndRefuseHidden) {
    const std::u16string name = folder_.name("a.txt");
    auto mode = [&] {
        struct stat info {};
        stat(folder_.path("a.txt").c_str(), &info);
        return info.st_mode & 0777;
    };
    ASSERT_EQ(chmod(folder_.path("a.txt").c_str(), 0664), 0);
    EXPECT_NE(file_set_attributes(name.c_str(), FILE_ATTRIBUTE_READONLY), 0);
    EXPECT_EQ(mode(), 0444u);
    EXPECT_NE(file_set_attributes(name.c_str(), FILE_ATTRIBUTE_NORMAL), 0);
    EXPECT_EQ(mode(), 0644u);
    // Hidden cannot be applied, but the read-only asked for with it is.
    EXPECT_EQ(file_set_attributes(name.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY),
              0);
    EXPECT_EQ(mode(), 0444u);
    EXPECT_NE(file_set_attributes(name.c_str(), FILE_ATTRIBUTE_ARCHIVE), 0);
    EXPECT_EQ(mode(), 0644u);
    EXPECT_EQ(file_set_attributes(name.c_str(), FILE_ATTRIBUTE_SYSTEM), 0);
    EXPECT_EQ(mode(), 0644u);
    EXPECT_EQ(file_set_attributes(nullptr, FILE_ATTRIBUTE_NORMAL), 0);
    EXPECT_EQ(file_set_attributes(folder_.name("missing").c_str(), FILE_ATTRIBUTE_NORMAL), 0);
}

} // namespace
} // namespace korvel
