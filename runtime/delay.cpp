// The sleep that the render worker polls with, on the monotonic clock so that a change of the
// wall clock neither shortens nor stretches it.
#include "runtime/threads.h"

#include <cerrno>
#include <ctime>

namespace korvel {

void delay_ms(std::uint32_t ms) {
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += static_cast<time_t>(ms / 1000);
    deadline.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    // An absolute deadline lets a sleep interrupted by a signal resume without drifting.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {}
}

} // namespace korvel
