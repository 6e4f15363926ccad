// Reading /proc for the tests.
#include "tests/support/process_watch.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace korvel::test {

std::int64_t peak_resident_kib() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) return -1;
    char line[256];
    long long kib = -1;
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::sscanf(line, "VmHWM: %lld kB", &kib) == 1) break;
    }
    std::fclose(status);
    return kib;
}

// Linux shows a thread that waits in its open for the pipe's other end as "wait_for_partner".
bool wait_for_pipe_opener(pid_t pid, std::chrono::milliseconds limit) {
    const std::string tasks =
        pid == 0 ? "/proc/self/task" : "/proc/" + std::to_string(pid) + "/task";
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        std::error_code ignored;
        for (const auto& thread : std::filesystem::directory_iterator(tasks, ignored)) {
            std::ifstream waits_in(thread.path() / "wchan");
            std::string function;
            waits_in >> function;
            if (function == "wait_for_partner") return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

} // namespace korvel::test
