// The shared budget of a render job's work ahead.
#include "engine/work_allowance.h"

namespace korvel {

bool work_allowance::try_take(std::int64_t bytes) {
    std::lock_guard guard(lock_);
    if (held_ + bytes > capacity_) return false;
    held_ += bytes;
    return true;
}

void work_allowance::take_now(std::int64_t bytes) {
    std::lock_guard guard(lock_);
    held_ += bytes;
}

void work_allowance::give_back(std::int64_t bytes) {
    std::lock_guard guard(lock_);
    held_ -= bytes;
}

std::int64_t work_allowance::held() const {
    std::lock_guard guard(lock_);
    return held_;
}

} // namespace korvel
