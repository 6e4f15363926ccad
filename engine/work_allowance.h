// The memory a render job may spend on work ahead of the frame it is building: layers decoded
// ahead and finished frames being written draw on one budget. A frame handed over to be written
// takes its whole share at once, beyond the budget if need be, as it exists already; the
// read-ahead takes only what is free. With long groups there is little to write and the
// read-ahead may use it all; with short groups the frames in flight hold most of it and the job
// decodes for itself. Nobody ever waits for memory: the job's peak hardly depends on the layers
// per frame, and no thread sits idle while another holds what it needs.
#pragma once

#include <cstdint>
#include <mutex>

namespace korvel {

class work_allowance {
public:
    explicit work_allowance(std::int64_t bytes) : capacity_(bytes) {}
    work_allowance(const work_allowance&) = delete;
    work_allowance& operator=(const work_allowance&) = delete;

    // For the read-ahead: takes bytes when they are free.
    bool try_take(std::int64_t bytes);
    // For memory that is held already (a frame handed over, a layer decoded ahead that came out
    // larger than its share): takes bytes at once, even beyond the budget, so that no more is
    // read ahead meanwhile.
    void take_now(std::int64_t bytes);
    void give_back(std::int64_t bytes);

    std::int64_t held() const;

private:
    const std::int64_t capacity_;
    mutable std::mutex lock_;
    std::int64_t held_ = 0; // by everyone
};

} // namespace korvel
