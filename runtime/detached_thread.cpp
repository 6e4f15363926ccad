// Starting a thread that nobody joins, so that it leaves nothing behind when it ends.
#include "runtime/detached_thread.h"

#include <pthread.h>

namespace korvel {

bool start_detached_thread(void* (*routine)(void*), void* context) {
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    const bool started = pthread_create(&thread, &attributes, routine, context) == 0;
    pthread_attr_destroy(&attributes);
    return started;
}

} // namespace korvel
