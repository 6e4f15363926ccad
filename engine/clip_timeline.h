// A clip's inputs at the times its frames carry: input i shows from the i-th presentation time, the
// last one until the clip's end. Phone and screen captures change their rate as they go, so their
// frames are timed by what the clip says, not by its average rate.
#pragma once

#include "engine/input_timeline.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace korvel {

class clip_timeline final : public input_timeline {
public:
    // times in presentation order, end after the last, as ticks of time_base seconds.
    clip_timeline(std::vector<std::int64_t> times, std::int64_t end, const rational& time_base)
        : times_(std::move(times)), end_(end), time_base_(time_base) {}

    bool start_of(std::int64_t i, std::int64_t* ticks) const override;
    std::int64_t end_ticks() const override { return end_; }
    bool end_known(std::int64_t* ticks) const override {
        *ticks = end_;
        return true;
    }
    rational time_base() const override { return time_base_; }
    bool constant(std::int64_t*, std::int64_t*) const override { return false; }

private:
    std::vector<std::int64_t> times_;
    std::int64_t end_;
    rational time_base_;
};

} // namespace korvel
