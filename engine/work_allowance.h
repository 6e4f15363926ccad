// The memory a render job may spend on work ahead of the frame it is building: layers decoded
// ahead and finished frames being encoded draw on one budget. With long groups there is little to
// encode and the read-ahead may use it all; with short groups encoding takes its share first. The
// job's peak memory then hardly depends on the layers per frame.
//
// Encoding has priority: read-ahead memory is freed by the job's own next loads, encoding memory
// only by encoding, so a waiting encoder stops the read-ahead from taking more until it has its
// share. An encoder waits only briefly: if the job is held up (a slow input), a finished frame is
// saved anyway, beyond the budget, rather than left unwritten.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace korvel {

class work_allowance {
public:
    explicit work_allowance(std::int64_t bytes) : capacity_(bytes) {}
    work_allowance(const work_allowance&) = delete;
    work_allowance& operator=(const work_allowance&) = delete;

    // For read-ahead: takes bytes when they are free and no encoder is waiting.
    bool try_take_for_read_ahead(std::int64_t bytes);
    void give_back_read_ahead(std::int64_t bytes);
    // A layer decoded ahead turned out larger than its share: the rest is held too, beyond the
    // budget if need be (the memory is taken already), so that no more is read ahead meanwhile.
    void grow_read_ahead(std::int64_t bytes);

    // For an encoder: waits until bytes are free or the read-ahead holds nothing (its share is all
    // that waiting could free), but no longer than patience; then takes them.
    void take_for_encoder(std::int64_t bytes, std::chrono::milliseconds patience);
    // Takes bytes at once, even beyond the budget: for memory that is already held.
    void take_now(std::int64_t bytes);
    void give_back(std::int64_t bytes);

    std::int64_t held() const;

private:
    bool fits(std::int64_t bytes) const { return held_ + bytes <= capacity_ || read_ahead_ == 0; }

    const std::int64_t capacity_;
    mutable std::mutex lock_;
    std::condition_variable given_back_;
    std::int64_t held_ = 0;       // by everyone
    std::int64_t read_ahead_ = 0; // of that, by the read-ahead
    std::int32_t waiting_ = 0;    // encoders waiting for their share
};

} // namespace korvel
