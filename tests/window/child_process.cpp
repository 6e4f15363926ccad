// Child processes with a report pipe and a time limit.
#include "child_process.h"

#include "report_line.h"

#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <mutex>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace korvel::app_test {

namespace {

int report_fd = -1;

std::mutex& report_lock() {
    static auto* const lock = new std::mutex;
    return *lock;
}

void write_all(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = write(fd, text.data() + done, text.size() - done);
        if (written <= 0) return;
        done += static_cast<std::size_t>(written);
    }
}

[[noreturn]] void run_as_child(const std::function<void()>& body, int write_end,
                               const std::string& error_path) {
    // A child left behind by a test that was itself killed must not run on.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    report_fd = write_end;
    const int error_fd = open(error_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (error_fd >= 0) dup2(error_fd, STDERR_FILENO);
    body();
    _exit(0);
}

void collect_lines(std::string& pending, child_outcome& outcome) {
    std::size_t end;
    while ((end = pending.find('\n')) != std::string::npos) {
        outcome.lines.push_back(report_fields(pending.substr(0, end)));
        pending.erase(0, end + 1);
    }
}

// Reads the pipe until the child has closed it or the deadline has passed.
void read_reports(int read_end, std::chrono::steady_clock::time_point deadline,
                  child_outcome& outcome) {
    std::string pending;
    char buffer[4096];
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd watched{read_end, POLLIN, 0};
        if (poll(&watched, 1, 50) <= 0) continue;
        const ssize_t got = read(read_end, buffer, sizeof buffer);
        if (got <= 0) return;
        pending.append(buffer, static_cast<std::size_t>(got));
        collect_lines(pending, outcome);
    }
}

void wait_for_end(pid_t child, std::chrono::steady_clock::time_point deadline,
                  child_outcome& outcome) {
    int status = 0;
    for (;;) {
        const pid_t ended = waitpid(child, &status, WNOHANG);
        if (ended == child) break;
        if (ended < 0) return;
        if (std::chrono::steady_clock::now() >= deadline) {
            outcome.timed_out = true;
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    outcome.ended_at_ns = monotonic_ns();
    outcome.exited = WIFEXITED(status);
    outcome.exit_code = outcome.exited ? WEXITSTATUS(status) : -1;
    outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

} // namespace

std::int64_t monotonic_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void child_report(const std::vector<std::string>& fields) {
    const std::string line = report_line(fields);
    std::lock_guard guard(report_lock());
    if (report_fd >= 0) write_all(report_fd, line);
}

running_child start_child(const std::function<void()>& body, const std::string& error_path,
                          std::chrono::seconds limit) {
    running_child started;
    started.error_path = error_path;
    started.deadline = std::chrono::steady_clock::now() + limit;
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return started;
    // Output still buffered here would otherwise be written a second time by the child.
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        run_as_child(body, ends[1], error_path);
    }
    close(ends[1]);
    if (child < 0) {
        close(ends[0]);
        return started;
    }
    started.pid = child;
    started.read_end = ends[0];
    return started;
}

child_outcome finish_child(const running_child& child) {
    child_outcome outcome;
    if (child.pid < 0) return outcome;
    read_reports(child.read_end, child.deadline, outcome);
    close(child.read_end);
    wait_for_end(child.pid, child.deadline, outcome);
    std::ifstream errors(child.error_path, std::ios::binary);
    outcome.error_output.assign(std::istreambuf_iterator<char>(errors),
                                std::istreambuf_iterator<char>());
    return outcome;
}

child_outcome run_child(const std::function<void()>& body, const std::string& error_path,
                        std::chrono::seconds limit) {
    return finish_child(start_child(body, error_path, limit));
}

} // namespace korvel::app_test
