// Slow inputs through named pipes.
#include "input_gate.h"

#include "tests/support/process_watch.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace korvel::app_test {

namespace {

// The whole frame must fit in the pipe at once, so that releasing never waits for the reader.
constexpr std::size_t pipe_room = 60000;

std::vector<char> file_bytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Opens the pipe for writing if a reader waits on it. A reader that found the pipe just before
// the real file took its place may still be on its way in, so it is given a moment.
int writer_for_waiting_reader(const std::string& pipe) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    for (;;) {
        // Opening for writing without waiting succeeds only when a reader has the pipe open.
        const int writer = open(pipe.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (writer >= 0 || errno != ENXIO || std::chrono::steady_clock::now() >= deadline)
            return writer;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

} // namespace

input_gate make_input_gate(const std::string& entry, const std::string& spare_folder) {
    const std::string spare = spare_folder + "/" + entry.substr(entry.rfind('/') + 1);
    if (file_bytes(entry).size() > pipe_room) return {};
    if (std::rename(entry.c_str(), (spare + ".waiting").c_str()) != 0) return {};
    if (mkfifo(entry.c_str(), 0600) != 0 || link(entry.c_str(), (spare + ".pipe").c_str()) != 0)
        return {};
    return {entry, spare + ".pipe", spare + ".waiting"};
}

bool gate_release(const input_gate& gate) {
    const std::vector<char> bytes = file_bytes(gate.waiting);
    if (std::rename(gate.waiting.c_str(), gate.entry.c_str()) != 0) return false;
    const int writer = writer_for_waiting_reader(gate.pipe);
    if (writer < 0) return errno == ENXIO;
    // A reader that gives up on the pipe early must not end the process with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    const ssize_t written = write(writer, bytes.data(), bytes.size());
    const bool sent = written == static_cast<ssize_t>(bytes.size()) || errno == EPIPE;
    close(writer);
    return sent;
}

bool gate_wait_for_reader(std::chrono::milliseconds limit) {
    return test::wait_for_pipe_opener(0, limit);
}

} // namespace korvel::app_test
