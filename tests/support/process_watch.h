// What tests read about a running process from /proc: its peak memory, and whether one of its
// threads is blocked opening a pipe that nobody writes yet (how the tests hold a render at a
// chosen input without sleeping).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>

namespace korvel::test {

// The peak resident memory of this process in KiB (VmHWM), or -1 when it cannot be read.
std::int64_t peak_resident_kib();

// Waits until a thread of process pid (this process when 0) blocks in the open of a pipe without
// a writer; false when none did within limit.
bool wait_for_pipe_opener(pid_t pid, std::chrono::milliseconds limit);

} // namespace korvel::test
