// Child processes of the batch tests. Everything the child needs is prepared before fork, so that
// between fork and exec it only makes system calls.
#include "render_process.h"

#include "work_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace korvel::test {

namespace {

// The argument vector execv takes; it points into args, which must outlive it.
std::vector<char*> argument_vector(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(KORVEL_RENDER_PATH));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    return argv;
}

[[noreturn]] void become_render(const std::string& cwd, const std::vector<char*>& argv) {
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    execv(KORVEL_RENDER_PATH, argv.data());
    _exit(127);
}

void redirect(const std::string& path, int descriptor) {
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (file < 0 || dup2(file, descriptor) < 0) _exit(125);
    close(file);
}

// Ignoring SIGXFSZ survives exec: the limit then fails writes with EFBIG instead of killing.
void limit_file_size(long bytes) {
    const rlimit limit{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
    if (signal(SIGXFSZ, SIG_IGN) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(124);
}

} // namespace

pid_t start_render(const std::vector<std::string>& args, const std::string& cwd,
                   const std::string& err_path, long file_size_limit) {
    const std::vector<char*> argv = argument_vector(args);
    const pid_t pid = fork();
    if (pid == 0) {
        redirect(err_path, STDERR_FILENO);
        if (file_size_limit > 0) limit_file_size(file_size_limit);
        become_render(cwd, argv);
    }
    EXPECT_GT(pid, 0) << "cannot start " << KORVEL_RENDER_PATH;
    return pid;
}

int wait_for_render(pid_t pid) {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
    if (WIFSIGNALED(status)) return KILLED_BY_SIGNAL + WTERMSIG(status);
    return WEXITSTATUS(status);
}

render_run run_render(const std::vector<std::string>& args, const std::string& cwd) {
    const work_folder logs;
    const std::string out_path = logs.path("out.txt");
    const std::string err_path = logs.path("err.txt");
    const std::vector<char*> argv = argument_vector(args);
    const pid_t pid = fork();
    if (pid == 0) {
        redirect(out_path, STDOUT_FILENO);
        redirect(err_path, STDERR_FILENO);
        become_render(cwd, argv);
    }
    EXPECT_GT(pid, 0) << "cannot start " << KORVEL_RENDER_PATH;
    render_run run;
    run.status = wait_for_render(pid);
    run.out = read_file(out_path);
    run.err = read_file(err_path);
    return run;
}

int run_render_into_closed_pipe(const std::vector<std::string>& args) {
    const std::vector<char*> argv = argument_vector(args);
    int ends[2];
    if (pipe(ends) != 0) return -1;
    close(ends[0]);
    const pid_t pid = fork();
    if (pid == 0) {
        if (dup2(ends[1], STDERR_FILENO) < 0) _exit(125);
        become_render({}, argv);
    }
    close(ends[1]);
    EXPECT_GT(pid, 0) << "cannot start " << KORVEL_RENDER_PATH;
    return wait_for_render(pid);
}

render_run run_render_on_terminal(const std::vector<std::string>& args, unsigned short columns) {
    const std::vector<char*> argv = argument_vector(args);
    winsize size{};
    size.ws_row = 24;
    size.ws_col = columns;
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, &size);
    if (pid == 0) become_render({}, argv);
    EXPECT_GT(pid, 0) << "cannot open a pseudo-terminal";
    render_run run;
    char buffer[4096];
    // Reading ends with EIO once the child has closed its side.
    for (ssize_t got; pid > 0 && (got = read(terminal, buffer, sizeof buffer)) > 0;)
        run.err.append(buffer, static_cast<std::size_t>(got));
    if (terminal >= 0) close(terminal);
    run.status = wait_for_render(pid);
    return run;
}

} // namespace korvel::test
