// The shared budget of a render job's work ahead.
#include "engine/work_allowance.h"

namespace korvel {

bool work_allowance::try_take_for_read_ahead(std::int64_t bytes) {
    std::lock_guard guard(lock_);
    if (waiting_ != 0 || held_ + bytes > capacity_) return false;
    held_ += bytes;
    read_ahead_ += bytes;
    return true;
}

void work_allowance::give_back_read_ahead(std::int64_t bytes) {
    {
        std::lock_guard guard(lock_);
        read_ahead_ -= bytes;
        held_ -= bytes;
    }
    given_back_.notify_all();
}

void work_allowance::grow_read_ahead(std::int64_t bytes) {
    std::lock_guard guard(lock_);
    held_ += bytes;
    read_ahead_ += bytes;
}

void work_allowance::take_for_encoder(std::int64_t bytes, std::chrono::milliseconds patience) {
    std::unique_lock guard(lock_);
    ++waiting_;
    given_back_.wait_for(guard, patience, [&] { return fits(bytes); });
    --waiting_;
    held_ += bytes;
}

void work_allowance::take_now(std::int64_t bytes) {
    std::lock_guard guard(lock_);
    held_ += bytes;
}

void work_allowance::give_back(std::int64_t bytes) {
    {
        std::lock_guard guard(lock_);
        held_ -= bytes;
    }
    given_back_.notify_all();
}

std::int64_t work_allowance::held() const {
    std::lock_guard guard(lock_);
    return held_;
}

} // namespace korvel
