// Child processes of the batch tests. Everything the child needs is prepared before fork, so that
// between fork and exec it only makes system calls.
#include "tests/batch/render_process.h"

#include <cstdio>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace korvel::test {

namespace {

// Whether the descriptor became readable before the deadline.
bool readable(int descriptor, std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd watch{descriptor, POLLIN, 0};
    return poll(&watch, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0))) > 0;
}

} // namespace

render_process::render_process(const std::vector<std::string>& args, const run_options& options) {
    std::vector<char*> argv{const_cast<char*>(options.program)};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const std::string err = logs_.path("err");
    const rlimit limit{rlim_t(options.file_size_limit), rlim_t(options.file_size_limit)};
    winsize size{24, options.terminal_columns, 0, 0};
    pid_ = size.ws_col ? forkpty(&terminal_, nullptr, nullptr, &size) : fork();
    EXPECT_NE(pid_, -1) << "cannot start " << options.program;
    if (pid_ != 0) return;
    const int file = size.ws_col ? 0 : open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (file < 0 || (file > 0 && dup2(file, STDERR_FILENO) < 0)) _exit(125);
    // SIGXFSZ stays ignored across exec: writes past the limit then fail with EFBIG.
    if (options.file_size_limit > 0 &&
        (signal(SIGXFSZ, SIG_IGN) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &limit) != 0))
        _exit(124);
    execv(options.program, argv.data());
    _exit(127);
}

render_result render_process::finish(std::chrono::seconds limit) {
    render_result result;
    if (pid_ <= 0) return result;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    char buffer[4096];
    // Reading the terminal fails once the run has closed its side.
    for (ssize_t got; terminal_ >= 0 && readable(terminal_, deadline) &&
                      (got = read(terminal_, buffer, sizeof buffer)) > 0;)
        result.err.append(buffer, static_cast<std::size_t>(got));
    // The process's own descriptor becomes readable when it ends.
    const int process = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
    if (process >= 0 && !readable(process, deadline)) kill(pid_, SIGKILL);
    int status = 0;
    if (waitpid(pid_, &status, 0) == pid_)
        result.status = WIFSIGNALED(status) ? KILLED_BY + WTERMSIG(status) : WEXITSTATUS(status);
    for (const int descriptor : {process, terminal_})
        if (descriptor >= 0) close(descriptor);
    pid_ = terminal_ = -1;
    if (result.err.empty()) result.err = read_file(logs_.path("err"));
    return result;
}

std::string command_output(const std::string& command) {
    std::string said;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, pipe))
            said += line;
        pclose(pipe);
    }
    return said;
}

std::string printed_count(const std::vector<std::string>& args) {
    std::string command = KORVEL_RENDER_PATH " --count";
    for (const std::string& arg : args)
        command += " '" + arg + "'";
    return command_output(command);
}

void expect_same_files(const std::string& folder, const std::string& expected) {
    const auto names = folder_names(expected);
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(folder_names(folder), names);
    for (const std::string& name : names)
        EXPECT_TRUE(read_file(folder + "/" + name) == read_file(expected + "/" + name)) << name;
}

bool have_ffmpeg() {
    return std::system("ffmpeg -version >/dev/null 2>&1 && ffprobe -version >/dev/null 2>&1") == 0;
}

} // namespace korvel::test
