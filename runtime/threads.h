// Threads, the hook that runs functions after a thread has ended, and the sleep.
#pragma once

#include <cstdint>

namespace korvel {

// A thread procedure takes one 32-bit argument; its result is read by nobody.
using thread_procedure = std::uint32_t (*)(std::uint32_t);

// Prepares the thread registry (start-up, before thread_create; idempotent).
void threads_init();

// Starts procedure(argument) on a new thread. Returns its thread number (1 for the first thread
// started, then 2, ...), or 0 when the thread cannot be started (no number is used up then).
std::int32_t thread_create(thread_procedure procedure, std::uint32_t argument);

// Forgets every registered thread without waiting for or stopping any (end of program).
void threads_end();

// function(argument) is called once, on another thread, after the calling thread has ended.
// Functions registered by one thread run newest first.
void at_thread_exit(void (*function)(void*), void* argument);

// Sleeps ms milliseconds on the monotonic clock.
void delay_ms(std::uint32_t ms);

} // namespace korvel
