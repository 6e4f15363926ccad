// Handles of windows, gadgets and status bars.
#include "ui/object_handles.h"

#include <atomic>

namespace korvel {

std::uint32_t next_object_handle() {
    static std::atomic<std::uint32_t> last{0};
    std::uint32_t handle = ++last;
    // After 2^32 objects the count wraps; 0 would mark a free slot.
    while (handle == 0)
        handle = ++last;
    return handle;
}

} // namespace korvel
