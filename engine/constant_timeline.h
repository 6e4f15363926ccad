// Inputs at a constant rate: input i shows from i / rate for 1 / rate seconds, the last one too.
// A folder of frames has no times of its own, and a clip given a rate has its own replaced.
#pragma once

#include "engine/input_timeline.h"

namespace korvel {

class constant_timeline final : public input_timeline {
public:
    // inputs frames at rate frames per second (above 0): ticks of 1 / rate.num seconds,
    // rate.den of them to a frame.
    constant_timeline(std::int64_t inputs, const rational& rate) : inputs_(inputs), rate_(rate) {}

    bool start_of(std::int64_t i, std::int64_t* ticks) const override;
    std::int64_t end_ticks() const override { return inputs_ * rate_.den; }
    rational time_base() const override { return {1, rate_.num}; }
    bool constant(std::int64_t* frame_ticks, std::int64_t* inputs) const override;

private:
    std::int64_t inputs_;
    rational rate_;
};

} // namespace korvel
