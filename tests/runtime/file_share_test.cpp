// Access and sharing modes: which opens may join a handle, the job file's hold seen from another
// thread and from another process, identity by inode, and what a create may not destroy.
#include "runtime/file_share.h"
#include "runtime/files.h"
#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <future>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace korvel {
namespace {

class FileShare : public ::testing::Test {
protected:
    void SetUp() override {
        files_init();
        folder_.write("job.tmp", "[Image Count]\r\n");
        job_ = folder_.name("job.tmp");
    }
    int open_job(std::uint32_t access, std::uint32_t share,
                 open_disposition disposition = open_disposition::open_existing) const {
        return shared_open(job_.c_str(), access, share, disposition);
    }
    // What the input scan tries while a render job may hold the job file.
    void expect_scan_refused() const {
        EXPECT_EQ(file_open_read(0, job_.c_str()), 0);
        EXPECT_EQ(open_job(ACCESS_READ | ACCESS_WRITE, SHARE_READ, open_disposition::create_always),
                  -1);
        EXPECT_EQ(file_delete(job_.c_str()), 0);
        EXPECT_EQ(folder_.read("job.tmp"), "[Image Count]\r\n"); // nothing was truncated
    }
    void expect_scan_allowed() const {
        ASSERT_NE(file_open_read(0, job_.c_str()), 0);
        file_close(0);
        const int fd =
            open_job(ACCESS_READ | ACCESS_WRITE, SHARE_READ, open_disposition::create_always);
        ASSERT_GE(fd, 0);
        shared_close(fd);
        EXPECT_EQ(folder_.read("job.tmp"), "");
        EXPECT_NE(file_delete(job_.c_str()), 0);
    }
    scratch_folder folder_;
    std::u16string job_;
};

struct share_case {
    std::uint32_t held_access, held_share, access, share;
    bool allowed;
};

TEST_F(FileShare, SecondOpenIsAllowedOnlyWhenBothSidesShareWhatTheOtherUses) {
    constexpr std::uint32_t rw = ACCESS_READ | ACCESS_WRITE;
    constexpr std::uint32_t share_rw = SHARE_READ | SHARE_WRITE;
    const share_case cases[] = {
        {ACCESS_READ, SHARE_READ, ACCESS_READ, SHARE_READ, true},
        {ACCESS_READ, SHARE_READ, rw, SHARE_READ, false}, // held does not share writing
        {rw, SHARE_READ, ACCESS_READ, SHARE_READ, false}, // new does not share writing
        {rw, SHARE_READ, ACCESS_READ, share_rw, true},    // the third try of a reader
        {rw, share_rw, rw, share_rw, true},
        {ACCESS_READ, 0, ACCESS_READ, SHARE_READ, false}, // held shares nothing
        {ACCESS_WRITE, SHARE_WRITE, ACCESS_WRITE, SHARE_WRITE, true},
    };
    for (const share_case& c : cases) {
        const int held = open_job(c.held_access, c.held_share);
        ASSERT_GE(held, 0);
        const int second = open_job(c.access, c.share);
        EXPECT_EQ(second >= 0, c.allowed) << c.held_access << c.held_share << c.access << c.share;
        if (second >= 0) shared_close(second);
        shared_close(held);
    }
}

TEST_F(FileShare, JobHoldOnAnotherThreadRefusesTheScanUntilReleased) {
    std::promise<void> held, release;
    std::thread render([&] {
        const int fd = open_job(ACCESS_READ | ACCESS_WRITE, SHARE_READ);
        EXPECT_GE(fd, 0);
        held.set_value();
        release.get_future().wait();
        shared_close(fd);
    });
    held.get_future().wait();
    expect_scan_refused();
    release.set_value();
    render.join();
    expect_scan_allowed();
}

TEST_F(FileShare, HoldIsFoundThroughAnotherNameOfTheSameFile) {
    ASSERT_EQ(link(folder_.path("job.tmp").c_str(), folder_.path("alias").c_str()), 0);
    const int fd = open_job(ACCESS_READ | ACCESS_WRITE, SHARE_READ);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(file_open_read(0, folder_.name("alias").c_str()), 0);
    EXPECT_EQ(file_delete(folder_.name("alias").c_str()), 0);
    shared_close(fd);
}

TEST_F(FileShare, HandleSharingDeletionLetsTheFileGo) {
    const int fd = open_job(ACCESS_READ, SHARE_READ | SHARE_DELETE);
    ASSERT_GE(fd, 0);
    EXPECT_NE(file_delete(job_.c_str()), 0);
    EXPECT_FALSE(folder_.exists("job.tmp"));
    shared_close(fd);
}

TEST_F(FileShare, DispositionsCreateOnlyWhereAskedAndDescriptorsCloseOnExec) {
    const std::u16string fresh = folder_.name("fresh.tmp");
    EXPECT_EQ(shared_open(fresh.c_str(), ACCESS_READ, SHARE_READ, open_disposition::open_existing),
              -1);
    EXPECT_FALSE(folder_.exists("fresh.tmp"));
    const int fd =
        shared_open(fresh.c_str(), ACCESS_READ, SHARE_READ, open_disposition::open_always);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(folder_.exists("fresh.tmp"));
    EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    shared_close(fd);

    int pipe_ends[2];
    ASSERT_EQ(pipe(pipe_ends), 0);
    shared_close(pipe_ends[0]); // not ours: left open
    EXPECT_NE(fcntl(pipe_ends[0], F_GETFD), -1);
    close(pipe_ends[0]);
    close(pipe_ends[1]);
}

bool file_system_has_description_locks(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct flock region {};
    region.l_type = F_WRLCK;
    region.l_whence = SEEK_SET;
    region.l_len = 1;
    const bool supported = fd >= 0 && fcntl(fd, F_OFD_GETLK, &region) == 0;
    if (fd >= 0) close(fd);
    return supported;
}

TEST_F(FileShare, JobHoldInAnotherProcessRefusesTheScanUntilItEnds) {
    if (!file_system_has_description_locks(folder_.path("job.tmp")))
        GTEST_SKIP() << "the file system under /tmp has no open file description locks";
    int to_parent[2], to_child[2];
    ASSERT_EQ(pipe(to_parent), 0);
    ASSERT_EQ(pipe(to_child), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Holds the job file and ends without closing it: its end must release the hold.
        const char held = open_job(ACCESS_READ | ACCESS_WRITE, SHARE_READ) >= 0 ? 'y' : 'n';
        char go;
        if (write(to_parent[1], &held, 1) != 1 || read(to_child[0], &go, 1) != 1) _exit(2);
        _exit(0);
    }
    char held = 0;
    ASSERT_EQ(read(to_parent[0], &held, 1), 1);
    EXPECT_EQ(held, 'y');
    expect_scan_refused();
    const char go = 'g';
    ASSERT_EQ(write(to_child[1], &go, 1), 1);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (int end : {to_parent[0], to_parent[1], to_child[0], to_child[1]})
        close(end);
    expect_scan_allowed();
}

} // namespace
} // namespace korvel
