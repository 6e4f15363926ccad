// Forked measurement: the child reports its figures through a pipe and leaves with _exit, so
// nothing of the parent's runs twice.
#include "forked_measure.h"

#include "tests/support/process_watch.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>

namespace korvel::test {
namespace {

struct child_report {
    std::int32_t result;
    std::int64_t peak_growth_kib;
    double seconds;
};

[[noreturn]] void measure_in_child(const std::function<bool()>& work, int report_fd) {
    const std::int64_t before = peak_resident_kib();
    const auto start = std::chrono::steady_clock::now();
    const bool result = work();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const child_report report{result ? 1 : 0, peak_resident_kib() - before, took.count()};
    const bool sent = write(report_fd, &report, sizeof report) == sizeof report;
    _exit(sent ? 0 : 1);
}

} // namespace

measured_run run_measured(const std::function<bool()>& work) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        measure_in_child(work, fds[1]);
    }
    close(fds[1]);
    child_report report{};
    const bool got = pid > 0 && read(fds[0], &report, sizeof report) == sizeof report;
    close(fds[0]);
    int status = 0;
    if (pid > 0) waitpid(pid, &status, 0);
    measured_run run;
    run.finished = got && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.result = report.result != 0;
    run.seconds = report.seconds;
    run.peak_growth_kib = report.peak_growth_kib;
    return run;
}

} // namespace korvel::test
