// The hook that runs release functions after a thread has ended. Each thread keeps its list in a
// thread-local object whose destructor, run as the thread exits, hands the list to one watcher
// thread; the watcher waits until the kernel has really removed the thread and then calls the
// functions, so nothing is released under a thread that may still touch it.
#include "runtime/threads.h"

#include "runtime/detached_thread.h"

#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <new>
#include <pthread.h>
#include <unistd.h>

namespace korvel {
namespace {

struct ExitRecord {
    ExitRecord* next;
    void (*function)(void*);
    void* argument;
};

// The exit records of one thread, newest first, and the kernel id that tells when it is gone.
struct EndingThread {
    EndingThread* next;
    pid_t thread_id;
    ExitRecord* newest;
};

// Lives on the heap and is never destroyed, so that static destructors at process exit cannot
// pull it away from threads that still run.
struct Watcher {
    std::mutex lock;
    std::condition_variable handed_over_cv;
    EndingThread* handed_over = nullptr; // newest first
    bool started = false;
};

Watcher* watcher() {
    static Watcher* const instance = new (std::nothrow) Watcher;
    return instance;
}

bool has_ended(pid_t thread_id) {
    return tgkill(getpid(), thread_id, 0) != 0 && errno == ESRCH;
}

EndingThread* take_handed_over(Watcher& w, bool wait) {
    std::unique_lock<std::mutex> guard(w.lock);
    if (wait) w.handed_over_cv.wait(guard, [&w] { return w.handed_over != nullptr; });
    EndingThread* taken = w.handed_over;
    w.handed_over = nullptr;
    return taken;
}

// Puts the newly handed-over threads ahead of the watched ones: a thread handed over twice (a
// registration made while it was already ending) then runs its newer functions first.
EndingThread* join_lists(EndingThread* newer, EndingThread* older) {
    if (!newer) return older;
    EndingThread* last = newer;
    while (last->next)
        last = last->next;
    last->next = older;
    return newer;
}

void run_and_free(EndingThread* ended) {
    for (ExitRecord* record = ended->newest; record;) {
        ExitRecord* next = record->next;
        record->function(record->argument);
        std::free(record);
        record = next;
    }
    std::free(ended);
}

// Runs the functions of every watched thread that is gone; returns those still alive.
EndingThread* finish_ended(EndingThread* watched) {
    EndingThread** link = &watched;
    while (*link) {
        EndingThread* current = *link;
        if (has_ended(current->thread_id)) {
            *link = current->next;
            run_and_free(current);
        } else {
            link = &current->next;
        }
    }
    return watched;
}

void* watch(void* context) {
    Watcher& w = *static_cast<Watcher*>(context);
    pthread_setname_np(pthread_self(), "korvel-exit");
    EndingThread* watched = nullptr;
    for (;;) {
        watched = join_lists(take_handed_over(w, watched == nullptr), watched);
        watched = finish_ended(watched);
        if (watched) delay_ms(1);
    }
}

bool start_watcher(Watcher& w) {
    std::lock_guard<std::mutex> guard(w.lock);
    if (w.started) return true;
    w.started = start_detached_thread(watch, &w);
    return w.started;
}

void hand_over(EndingThread* ending) {
    Watcher& w = *watcher();
    {
        std::lock_guard<std::mutex> guard(w.lock);
        ending->next = w.handed_over;
        w.handed_over = ending;
    }
    w.handed_over_cv.notify_one();
}

EndingThread* new_ending_thread() {
    auto* ending = static_cast<EndingThread*>(std::malloc(sizeof(EndingThread)));
    if (ending) *ending = EndingThread{nullptr, gettid(), nullptr};
    return ending;
}

// Set once the thread's list has been handed over; registrations after that (from other
// thread-local destructors) are handed over on their own.
thread_local bool exit_list_gone = false;

struct ExitList {
    // Allocated at the first registration, so that the hand-over at exit never allocates.
    EndingThread* own = nullptr;

    ~ExitList() {
        exit_list_gone = true;
        if (own) hand_over(own);
    }
};

thread_local ExitList exit_list;

// Where the calling thread's next record goes: its own list, or a list of its own once the
// thread's list has already been handed over.
EndingThread* records_of_this_thread() {
    if (exit_list_gone) return new_ending_thread();
    if (!exit_list.own) exit_list.own = new_ending_thread();
    return exit_list.own;
}

} // namespace

void at_thread_exit(void (*function)(void*), void* argument) {
    Watcher* w = watcher();
    if (!function || !w || !start_watcher(*w)) return;
    auto* record = static_cast<ExitRecord*>(std::malloc(sizeof(ExitRecord)));
    EndingThread* target = record ? records_of_this_thread() : nullptr;
    if (!target) {
        std::free(record);
        return;
    }
    *record = ExitRecord{target->newest, function, argument};
    target->newest = record;
    if (exit_list_gone) hand_over(target);
}

} // namespace korvel
