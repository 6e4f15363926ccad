// The hand-over marks for the thread sanitizer.
#include "engine/pool_task.h"

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
