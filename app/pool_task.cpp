// The hand-over marks for the thread sanitizer, and what it is told about the parallelism
// library.
#include "app/pool_task.h"

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace korvel {

#if defined(__SANITIZE_THREAD__)
void pool_handover_release(const void* work) {
    __tsan_release(const_cast<void*>(work));
}
void pool_handover_acquire(const void* work) {
    __tsan_acquire(const_cast<void*>(work));
}
#else
void pool_handover_release(const void*) {}
void pool_handover_acquire(const void*) {}
#endif

} // namespace korvel

#if defined(__SANITIZE_THREAD__)
// oneTBB keeps its task objects in pools of its own: each is written by the thread that spawns
// it, read by the thread that runs it and then recycled, ordered by the library's uninstrumented
// code. Only reports whose innermost frame is that bookkeeping are left out: the library's own
// code (by name, or by its headers where only those are known) and the lambda of pool_run,
// which holds nothing but the pointer to the work. Every access made by this program's own code,
// the work included, is still checked.
extern "C" const char* __tsan_default_suppressions() {
    return "race_top:^tbb::detail::\n"
           "race_top:/oneapi/tbb/\n"
           "race_top:app/pool_task.h\n";
}
#endif
