// Input layers held back in named pipes.
#include "layer_gate.h"

#include "tests/support/process_watch.h"
#include "work_folder.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace korvel::test {

namespace {

bool write_whole(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written <= 0) return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// The real file takes the pipe's place in one rename, so no reader ever finds the entry missing.
bool restore_file(const std::string& entry, const std::string& bytes) {
    const std::string spare = entry + ".restoring";
    {
        std::ofstream file(spare, std::ios::binary);
        file << bytes;
        if (!file.flush()) return false;
    }
    return std::rename(spare.c_str(), entry.c_str()) == 0;
}

} // namespace

layer_gate::layer_gate(const std::string& entry) : entry_(entry), bytes_(read_file(entry)) {
    ready_ = !bytes_.empty() && unlink(entry.c_str()) == 0 && mkfifo(entry.c_str(), 0600) == 0;
}

layer_gate::~layer_gate() {
    // A reader still held must see the pipe end rather than wait on a pipe that lost its name.
    if (ready_ && !released_ && writer_ < 0)
        writer_ = open(entry_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (ready_ && !released_) restore_file(entry_, bytes_);
    if (writer_ >= 0) close(writer_);
}

bool layer_gate::wait_for_reader(pid_t reader, std::chrono::milliseconds limit) {
    return wait_for_pipe_opener(reader, limit);
}

bool layer_gate::release() {
    if (!ready_ || released_) return false;
    released_ = true;
    // The pipe stays open under its old identity only for the reader already inside; any later
    // open finds the real file.
    const std::string pipe = entry_ + ".held";
    if (link(entry_.c_str(), pipe.c_str()) != 0 || !restore_file(entry_, bytes_)) return false;
    writer_ = open(pipe.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    unlink(pipe.c_str());
    if (writer_ < 0) return false;
    // A reader that gives up early must not end the test with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    const int flags = fcntl(writer_, F_GETFL);
    fcntl(writer_, F_SETFL, flags & ~O_NONBLOCK);
    const bool sent = write_whole(writer_, bytes_) || errno == EPIPE;
    close(writer_);
    writer_ = -1;
    return sent;
}

} // namespace korvel::test
