// Handing work to oneTBB's threads. The library is not built for the thread sanitizer, so the
// order its task hand-over creates (what the caller did before the hand-over happens before the
// work runs) is invisible to that checker. pool_run therefore hands the work over in a block of
// its own and marks that order on it; in other builds the marks do nothing.
#pragma once

#include <oneapi/tbb/task_group.h>

#include <utility>

namespace korvel {

void pool_handover_release(const void* work);
void pool_handover_acquire(const void* work);

// Runs work() once on a thread of the group's arena, or on a thread waiting for the group. May
// throw what allocation throws; the work has then not been handed over.
template <typename Work>
void pool_run(tbb::task_group& group, Work work) {
    auto* handed = new Work(std::move(work));
    pool_handover_release(handed);
    try {
        group.run([handed] {
            pool_handover_acquire(handed);
            (*handed)();
            delete handed;
        });
    } catch (...) {
        delete handed;
        throw;
    }
}

} // namespace korvel
