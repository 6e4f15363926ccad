// Threads, the hook that runs functions after a thread has ended, and the sleep.
#pragma once

#include <cstdint>

namespace korvel {

// A thread procedure takes one 32-bit argument; its result is read by nobody.
using thread_procedure = std::uint32_t (*)(std::uint32_t);

// Start-up's step for the thread registry, which is ready from program start (idempotent).
void threads_init();

// Starts procedure(argument) on a new thread. Returns its thread number (1 for the first thread
// started, then 2, ...), or 0 when the thread cannot be started or procedure is null (no number
// is used up then). Threads are never joined; the registry lets go of them once they have ended.
std::int32_t thread_create(thread_procedure procedure, std::uint32_t argument);

// Forgets every registered thread without waiting for or stopping any (end of program).
void threads_end();

// function(argument) is called once, on another thread, after the calling thread has ended.
// Functions registered by one thread run newest first. The main thread's never run: the process
// ends first. When memory runs out the registration is dropped and the function never called.
void at_thread_exit(void (*function)(void*), void* argument);

// Sleeps ms milliseconds on the monotonic clock.
void delay_ms(std::uint32_t ms);

} // namespace korvel
