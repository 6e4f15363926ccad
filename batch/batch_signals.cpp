// The stop signals. The handler only stores the signal number: a lock-free atomic store is all it
// may safely do, and the render polls the value between its steps.
#include "batch/batch_signals.h"

#include <atomic>
#include <csignal>

namespace korvel {

namespace {

std::atomic<int> received_signal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free store");

void on_stop_signal(int number) {
    received_signal.store(number, std::memory_order_relaxed);
}

void catch_signal(int number) {
    struct sigaction action = {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    // Restarted system calls keep the file writes of the frames under way from failing with EINTR.
    action.sa_flags = SA_RESTART;
    sigaction(number, &action, nullptr);
}

} // namespace

void stop_signals_install() {
    catch_signal(SIGINT);
    catch_signal(SIGTERM);
    // Progress piped into a reader that has gone (| head) must not kill the render half-way: the
    // frames are the output, the progress text is only a courtesy.
    std::signal(SIGPIPE, SIG_IGN);
}

int stop_signal_received() {
    return received_signal.load(std::memory_order_relaxed);
}

} // namespace korvel
