// Preference files on disk, byte for byte: what pref_close writes after each kind of change, what
// it leaves alone, and how two threads holding the same file keep each other out.
#include "runtime/file_share.h"
#include "runtime/prefs.h"
#include "runtime/strings.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

namespace korvel {
namespace {

const std::string mark_line = "\xEF\xBB\xBF\r\n";

std::string read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// The value as a copy, with the workspace given back.
std::u16string read(const char16_t* key, const char16_t* def = u"") {
    const std::int32_t at = ws_position();
    std::u16string value = pref_read_string(key, def, at);
    ws_restore(at);
    return value;
}

class PrefFiles : public ::testing::Test {
protected:
    void SetUp() override {
        strings_init();
        prefs_init();
        char folder[] = "/tmp/korvel-prefs-XXXXXX";
        ASSERT_TRUE(mkdtemp(folder));
        folder_ = folder;
    }
    void TearDown() override {
        pref_close();
        std::filesystem::remove_all(folder_);
    }
    std::string path(const std::string& leaf = "job.tmp") const { return folder_ + "/" + leaf; }
    // The folder's name is ASCII, so each byte is one UTF-16 unit.
    std::u16string name(const std::string& leaf = "job.tmp") const {
        const std::string bytes = path(leaf);
        return {bytes.begin(), bytes.end()};
    }
    std::string folder_;
};

TEST_F(PrefFiles, ACreatedJobFileIsTheMarkLineThenItsGroupsAndKeysEndedByCrLf) {
    EXPECT_NE(pref_create(name().c_str()), 0);
    EXPECT_EQ(pref_group(u"Resolution"), 0);
    EXPECT_EQ(pref_write_string(u"Width", u"640"), 1);
    EXPECT_EQ(pref_write_string(u"Height", u"480"), 1);
    EXPECT_EQ(pref_group(u"Image Count"), 0);
    EXPECT_EQ(pref_write_string(u"Total Images", u"120"), 1);
    pref_close();
    EXPECT_EQ(read_bytes(path()), mark_line + "[Resolution]\r\nWidth = 640\r\nHeight = 480\r\n"
                                              "[Image Count]\r\nTotal Images = 120\r\n");
}

TEST_F(PrefFiles, CreateEmptiesAnExistingFileAndWithoutWritesLeavesItEmpty) {
    write_bytes(path(), "[Old]\r\nk = v\r\n");
    EXPECT_NE(pref_create(name().c_str()), 0);
    EXPECT_EQ(pref_group(u"Old"), 0);
    pref_close();
    EXPECT_EQ(read_bytes(path()), "");
}

TEST_F(PrefFiles, Latin1InputIsReadAsCodePointsAndWrittenBackAsMarkedUtf8) {
    write_bytes(path(), "[Caf\xE9]\nName=\xE9t\xE9\n");
    EXPECT_NE(pref_open(name().c_str()), 0);
    EXPECT_EQ(pref_group(u"Caf\u00E9"), 1);
    EXPECT_EQ(read(u"Name"), u"\u00E9t\u00E9");
    EXPECT_EQ(pref_write_string(u"More", u"\u00FF"), 1);
    pref_close();
    EXPECT_EQ(read_bytes(path()),
              mark_line + "[Caf\xC3\xA9]\r\nName = \xC3\xA9t\xC3\xA9\r\nMore = \xC3\xBF\r\n");
}

TEST_F(PrefFiles, LooseInputIsReadAlikeAndWrittenBackInTheStrictLayout) {
    write_bytes(path(), "\n\n  [Resolution]\n\nWidth=640\n\tHeight =480 \n\n;note\n");
    EXPECT_NE(pref_open(name().c_str()), 0);
    EXPECT_EQ(pref_group(u"Resolution"), 1);
    EXPECT_EQ(read(u"Width"), u"640");
    EXPECT_EQ(read(u"Height"), u"480");
    EXPECT_EQ(pref_write_string(u"Width", u"640"), 1);
    pref_close();
    EXPECT_EQ(read_bytes(path()),
              mark_line + "[Resolution]\r\nWidth = 640\r\nHeight = 480 \r\n; note\r\n");
}

TEST_F(PrefFiles, GroupsAndKeysIgnoreAsciiCaseAndAWriteSetsTheKeysCase) {
    write_bytes(path(), mark_line + "[Resolution]\r\nWidth = 640\r\n[\xC3\xA9t\xC3\xA9]\r\n");
    EXPECT_NE(pref_open(name().c_str()), 0);
    EXPECT_EQ(pref_group(u"\u00C9T\u00C9"), 0);
    EXPECT_EQ(pref_group(u"\u00E9T\u00E9"), 1);
    EXPECT_EQ(pref_group(u"resolution"), 1);
    EXPECT_EQ(read(u"WIDTH"), u"640");
    EXPECT_EQ(pref_write_string(u"WIDTH", u"800"), 1);
    pref_close();
    EXPECT_EQ(read_bytes(path()),
              mark_line + "[Resolution]\r\nWIDTH = 800\r\n[\xC3\xA9t\xC3\xA9]\r\n");
}

TEST_F(PrefFiles, AMissingGroupHidesTheOldSectionAndIsAppendedAfterEveryOtherGroup) {
    write_bytes(path(), mark_line + "[A]\r\nk = 1\r\n[B]\r\nk = 2\r\n");
    EXPECT_NE(pref_open(name().c_str()), 0);
    EXPECT_EQ(pref_group(u"A"), 1);
    EXPECT_EQ(pref_group(u"New"), 0);
    EXPECT_EQ(read(u"k", u"none"), u"none");
    EXPECT_EQ(pref_write_string(u"k", u"3"), 1);
    EXPECT_EQ(read(u"k"), u"3");
    EXPECT_EQ(pref_group(u"new"), 1);
    pref_close();
    EXPECT_EQ(read_bytes(path()), mark_line + "[A]\r\nk = 1\r\n[B]\r\nk = 2\r\n[New]\r\nk = 3\r\n");
}

TEST_F(PrefFiles, NewKeysEndTheirSectionAndTopKeysComeFirstBeforeALeadingGroup) {
    write_bytes(path(), mark_line + "[A]\r\na = 1\r\n; note\r\n[B]\r\n");
    EXPECT_NE(pref_open(name().c_str()), 0);
    EXPECT_EQ(pref_group(nullptr), 1);
    EXPECT_EQ(pref_write_string(u"Top", u"0"), 1);
    EXPECT_EQ(pref_group(u"A"), 1);
    EXPECT_EQ(pref_write_string(u"b", u"2"), 1);
    EXPECT_EQ(pref_group(u"B"), 1);
    EXPECT_EQ(pref_write_string(u"c", nullptr), 1);
    pref_close();
    EXPECT_EQ(read_bytes(path()),
              mark_line + "Top = 0\r\n[A]\r\na = 1\r\n; note\r\nb = 2\r\n[B]\r\nc = \r\n");
}

TEST_F(PrefFiles, AMissingFileOpensAsZeroAndIsCreatedAtCloseOnlyWhenWritten) {
    EXPECT_EQ(pref_open(name("unused").c_str()), 0);
    EXPECT_EQ(pref_group(u"G"), 0);
    EXPECT_EQ(pref_open(name().c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(path("unused")));
    EXPECT_EQ(pref_group(u"G"), 0);
    EXPECT_EQ(pref_write_string(u"k", u"v"), 1);
    EXPECT_EQ(read(u"k"), u"v");
    EXPECT_FALSE(std::filesystem::exists(path()));
    EXPECT_EQ(pref_open(name("other").c_str()), 0); // closes the current file first
    EXPECT_EQ(read_bytes(path()), mark_line + "[G]\r\nk = v\r\n");
}

TEST_F(PrefFiles, ClosingWithNothingWrittenLeavesBytesAndModificationTimeAlone) {
    const std::string loose = "a=1\n\n[G]\nb = \xE9\n";
    write_bytes(path(), loose);
    const timespec old_times[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path().c_str(), old_times, 0), 0);
    EXPECT_NE(pref_open(name().c_str()), 0);
    EXPECT_EQ(pref_group(u"g"), 1);
    EXPECT_EQ(read(u"B"), u"\u00E9");
    pref_close();
    struct stat info {};
    ASSERT_EQ(stat(path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mtim.tv_sec, 1'000'000'000);
    EXPECT_EQ(read_bytes(path()), loose);
}

TEST_F(PrefFiles, AnExistingEmptyFileIsWrittenWithoutTheMark) {
    write_bytes(path(), "");
    EXPECT_NE(pref_open(name().c_str()), 0);
    EXPECT_EQ(pref_group(u"G"), 0);
    EXPECT_EQ(pref_write_string(u"k", u"v"), 1);
    pref_close();
    EXPECT_EQ(read_bytes(path()), "[G]\r\nk = v\r\n");
}

TEST_F(PrefFiles, ValuesKeepTheirBlanksInTheFileAndReadBackTrimmed) {
    EXPECT_NE(pref_create(name().c_str()), 0);
    EXPECT_EQ(pref_write_string(u"Lead", u"  x"), 1);
    EXPECT_EQ(pref_write_string(u"Trail", u"y \t"), 1);
    EXPECT_EQ(read(u"Lead"), u"x");
    EXPECT_EQ(read(u"Trail"), u"y");
    pref_close();
    EXPECT_EQ(read_bytes(path()), mark_line + "Lead =   x\r\nTrail = y \t\r\n");
    EXPECT_NE(pref_open(name().c_str()), 0);
    EXPECT_EQ(read(u"Lead"), u"x");
    EXPECT_EQ(read(u"Trail"), u"y");
}

TEST_F(PrefFiles, BytesThatAreNotUtf8SurviveARewriteUnchanged) {
    write_bytes(path(), mark_line + "Name = \xFF\xC3\r\n");
    EXPECT_NE(pref_open(name().c_str()), 0);
    EXPECT_EQ(read(u"Name"), u"\xDCFF\xDCC3");
    EXPECT_EQ(pref_write_string(u"Other", u"1"), 1);
    pref_close();
    EXPECT_EQ(read_bytes(path()), mark_line + "Name = \xFF\xC3\r\nOther = 1\r\n");
}

TEST_F(PrefFiles, ReadsGiveTheirDefaultEvenWhenItLiesAtTheResultPosition) {
    EXPECT_EQ(pref_write_string(u"k", u"v"), 0);
    EXPECT_EQ(pref_group(u""), 0);
    EXPECT_EQ(read(u"k", nullptr), u"");
    EXPECT_NE(pref_create(name().c_str()), 0);
    EXPECT_EQ(read(u"absent", u"fallback"), u"fallback");
    // A long default forces the workspace to grow, and move, while it is copied over itself.
    for (const std::u16string& def : {std::u16string(u"fallback"), std::u16string(20000, u'd')}) {
        const std::int32_t at = ws_position();
        str_append(def.c_str());
        ws_finish();
        const char16_t* result = pref_read_string(u"absent", ws_text(at), at);
        EXPECT_EQ(result, ws_text(at));
        EXPECT_EQ(std::u16string(result), def);
        EXPECT_EQ(ws_position(), at + 2 * static_cast<std::int32_t>(def.size()));
        ws_restore(at);
    }
}

TEST_F(PrefFiles, AWriteBackThatFailsPartWayDoesNotCutTheOldContents) {
    const std::string old = mark_line + "k = " + std::string(300, 'o') + "\r\n";
    write_bytes(path(), old);
    EXPECT_NE(pref_open(name().c_str()), 0);
    EXPECT_EQ(pref_write_string(u"k", std::u16string(150, u'n').c_str()), 1);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 100; // the file may not be written beyond its first 100 bytes
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    pref_close();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    const std::string bytes = read_bytes(path());
    EXPECT_EQ(bytes.size(), old.size());
    EXPECT_EQ(bytes.substr(100), old.substr(100));
}

TEST_F(PrefFiles, AFileThatExistsButCannotBeReadIsNeverReplaced) {
    write_bytes(path(), "k=1\n");
    const int hold = shared_open(name().c_str(), ACCESS_READ, 0, open_disposition::open_existing);
    ASSERT_GE(hold, 0);
    EXPECT_EQ(pref_open(name().c_str()), 0);
    EXPECT_EQ(pref_write_string(u"k", u"2"), 0);
    shared_close(hold);
    pref_close();
    EXPECT_EQ(read_bytes(path()), "k=1\n");

    EXPECT_EQ(pref_open(std::u16string(folder_.begin(), folder_.end()).c_str()), 0);
    EXPECT_EQ(pref_write_string(u"k", u"2"), 0);
}

TEST_F(PrefFiles, WhileOneThreadHoldsTheFileAnotherCannotCreateItAndOnlyReadsIt) {
    write_bytes(path(), mark_line + "k = 1\r\n");
    ASSERT_NE(pref_open(name().c_str()), 0);
    std::thread([&] {
        strings_thread_init();
        EXPECT_EQ(pref_create(name().c_str()), 0);
        EXPECT_NE(pref_open(name().c_str()), 0);
        EXPECT_EQ(read(u"k"), u"1");
        EXPECT_EQ(pref_write_string(u"k", u"from the reader"), 1);
        pref_close();
    }).join();
    EXPECT_EQ(read_bytes(path()), mark_line + "k = 1\r\n");
    pref_close();
    std::thread([&] {
        EXPECT_NE(pref_create(name().c_str()), 0);
        pref_close();
    }).join();
    EXPECT_EQ(read_bytes(path()), "");
}

TEST_F(PrefFiles, AThreadThatEndsWithAModifiedFileHasItWrittenBackAfterwards) {
    std::thread([&] {
        ASSERT_NE(pref_create(name().c_str()), 0);
        EXPECT_EQ(pref_write_string(u"k", u"v"), 1);
    }).join();
    const std::string expected = mark_line + "k = v\r\n";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (read_bytes(path()) != expected && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(read_bytes(path()), expected);
}

} // namespace
} // namespace korvel
