// Per-thread records: each registration reserves a zero-filled record that every thread gets its
// own copy of, with an optional set-up on first use and a release after the thread has ended.
#pragma once

#include <cstdint>

namespace korvel {

using record_function = void (*)(void* record);

// Reserves a record of size bytes (rounded up to a multiple of 4) and returns its offset, or -1
// for a size below 1 or when memory runs out. Made by the initialisers at start-up; set_up runs at
// once for the calling thread's copy. A thread that already has its records gets the new one on
// its next thread_data.
std::int32_t thread_data_register(std::int32_t size, record_function set_up,
                                  record_function release);

// The calling thread's record at offset (zero-filled, set up on the thread's first use); null for
// an offset that no registration gave or when memory runs out.
void* thread_data(std::int32_t offset);

} // namespace korvel
