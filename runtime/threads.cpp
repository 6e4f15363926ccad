// Starting threads and the registry that numbers them. Nobody waits for a thread, so threads
// start detached: the registry only counts them and lets go of the ones that have ended.
#include "runtime/threads.h"

#include "runtime/detached_thread.h"

#include <atomic>
#include <mutex>
#include <new>

namespace korvel {
namespace {

// Shared by the started thread and the registry; whichever lets go last frees it.
struct StartedThread {
    thread_procedure procedure;
    std::uint32_t argument;
    StartedThread* next = nullptr; // registry link, under the registry lock
    std::atomic<bool> ended{false};
    std::atomic<int> holders{2};
};

void let_go(StartedThread* thread) {
    if (thread->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) delete thread;
}

void* run(void* context) {
    auto* thread = static_cast<StartedThread*>(context);
    thread->procedure(thread->argument);
    thread->ended.store(true, std::memory_order_release);
    let_go(thread);
    return nullptr;
}

// Constant-initialised, so the registry is usable before any initialiser runs.
constinit std::mutex registry_lock;
StartedThread* registered = nullptr; // newest first
std::int32_t last_number = 0;

// Under the registry lock.
void forget_ended() {
    StartedThread** link = &registered;
    while (*link) {
        StartedThread* thread = *link;
        if (thread->ended.load(std::memory_order_acquire)) {
            *link = thread->next;
            let_go(thread);
        } else {
            link = &thread->next;
        }
    }
}

} // namespace

// The registry is constant-initialised; start-up calls this only to keep its order explicit.
void threads_init() {}

std::int32_t thread_create(thread_procedure procedure, std::uint32_t argument) {
    if (!procedure) return 0;
    auto* thread = new (std::nothrow) StartedThread{procedure, argument};
    if (!thread) return 0;
    if (!start_detached_thread(run, thread)) {
        delete thread;
        return 0;
    }
    std::lock_guard<std::mutex> guard(registry_lock);
    forget_ended();
    thread->next = registered;
    registered = thread;
    return ++last_number;
}

void threads_end() {
    std::lock_guard<std::mutex> guard(registry_lock);
    while (registered) {
        StartedThread* thread = registered;
        registered = thread->next;
        let_go(thread);
    }
}

} // namespace korvel
