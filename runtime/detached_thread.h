// Starting a thread that nobody joins: the runtime's threads are never waited for.
#pragma once

namespace korvel {

// Starts routine(context) on a new detached thread with the default stack; false when the thread
// cannot be started.
bool start_detached_thread(void* (*routine)(void*), void* context);

} // namespace korvel
