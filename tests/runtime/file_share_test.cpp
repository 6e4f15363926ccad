// Access and sharing modes: which opens may join a handle, and a render job's hold on the job file
// as the input scan sees it, under another name of the same file too, and from another process.
#include "runtime/file_share.h"
#include "runtime/files.h"
#include "runtime/share_markers.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace korvel {

constexpr std::uint32_t READ_WRITE = ACCESS_READ | ACCESS_WRITE;

class FileShare : public ::testing::Test {
protected:
    void SetUp() override {
        files_init();
        folder_.write("job.tmp", "[Image Count]\r\n");
        EXPECT_EQ(link(folder_.path("job.tmp").c_str(), folder_.path("alias").c_str()), 0);
    }
    int open_job(std::uint32_t access, std::uint32_t share,
                 open_disposition disposition = open_disposition::open_existing) const {
        return shared_open(job_.c_str(), access, share, disposition);
    }
    // What the input scan tries while a render job may hold the job file.
    void expect_scan(bool allowed) const {
        EXPECT_EQ(file_open_read(0, folder_.name("alias").c_str()) != 0, allowed);
        file_close(0);
        const int fd = open_job(READ_WRITE, SHARE_READ, open_disposition::create_always);
        EXPECT_EQ(fd >= 0, allowed);
        shared_close(fd);
        EXPECT_EQ(test::read_file(folder_.path("job.tmp")), allowed ? "" : "[Image Count]\r\n");
        EXPECT_EQ(file_rename(folder_.name("alias").c_str(), job_.c_str()) != 0, allowed);
        EXPECT_EQ(file_delete(job_.c_str()) != 0, allowed);
    }
    test::scratch_folder folder_;
    const std::u16string job_ = folder_.name("job.tmp");
};

TEST_F(FileShare, SecondOpenIsAllowedOnlyWhenBothSidesShareWhatTheOtherUses) {
    const struct {
        std::uint32_t held_access, held_share, access, share;
        bool allowed;
    } cases[] = {
        {ACCESS_READ, SHARE_READ, ACCESS_READ, SHARE_READ, true},
        {ACCESS_READ, SHARE_READ, READ_WRITE, SHARE_READ, false}, // held does not share writing
        {READ_WRITE, SHARE_READ, ACCESS_READ, SHARE_READ, false}, // new does not share writing
        {READ_WRITE, SHARE_READ, ACCESS_READ, SHARE_READ | SHARE_WRITE, true},
        {READ_WRITE, SHARE_READ | SHARE_WRITE, READ_WRITE, SHARE_READ | SHARE_WRITE, true},
        {ACCESS_READ, 0, ACCESS_READ, SHARE_READ, false}, // held shares nothing
        {ACCESS_WRITE, SHARE_WRITE, ACCESS_WRITE, SHARE_WRITE, true},
    };
    for (const auto& c : cases) {
        const int held = open_job(c.held_access, c.held_share);
        const int second = open_job(c.access, c.share);
        EXPECT_EQ(second >= 0, c.allowed) << c.held_access << c.held_share << c.access << c.share;
        shared_close(second);
        shared_close(held);
    }
    const int job = open_job(READ_WRITE, SHARE_READ); // a render job's hold, seen by the scan
    expect_scan(false);
    shared_close(job);
    expect_scan(true);
    ASSERT_EQ(mkfifo(folder_.path("pipe").c_str(), 0600), 0);
    for (const char* leaf : {"missing", "", "pipe"}) // only regular files; the pipe must not hang
        EXPECT_EQ(file_open_read(0, folder_.name(leaf).c_str()), 0) << leaf;
}

// Some network and FUSE file systems have no open file description locks: the registry of this
// process's handles must refuse the same opens by itself.
TEST_F(FileShare, TheRegistryAloneRefusesTheScanWithoutLockMarkers) {
    markers_set_enabled(false);
    const int job = open_job(READ_WRITE, SHARE_READ);
    EXPECT_LT(open_job(READ_WRITE, SHARE_READ), 0);
    expect_scan(false);
    shared_close(job);
    expect_scan(true);
    markers_set_enabled(true);
}

// The child holds the job file until it is killed: its end must release the hold.
TEST_F(FileShare, JobHoldInAnotherProcessRefusesTheScanUntilItEnds) {
    struct flock region {}; // from the start of the file (SEEK_SET is 0)
    region.l_type = F_WRLCK;
    region.l_len = 1;
    const int probe = open_job(ACCESS_READ, SHARE_READ);
    const bool has_locks = fcntl(probe, F_OFD_GETLK, &region) == 0;
    shared_close(probe);
    if (!has_locks) GTEST_SKIP() << "the file system under /tmp has no open file description locks";
    int held[2];
    ASSERT_EQ(pipe(held), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const char answer = open_job(READ_WRITE, SHARE_READ) >= 0 ? 'y' : 'n';
        if (write(held[1], &answer, 1) == 1) pause();
        _exit(1);
    }
    char answer = 0;
    EXPECT_EQ(read(held[0], &answer, 1), 1);
    EXPECT_EQ(answer, 'y');
    expect_scan(false);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    for (const int end : held)
        close(end);
    expect_scan(true);
}

} // namespace korvel
