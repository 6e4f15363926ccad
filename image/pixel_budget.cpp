// The per-image pixel memory cap.
#include "image/pixel_budget.h"

namespace korvel {

bool pixel_memory_allowed(std::int64_t row_size, std::int64_t height) {
    if (row_size < 1 || height < 1) return false;
    return row_size <= LARGEST_PIXEL_BYTES / height;
}

} // namespace korvel
