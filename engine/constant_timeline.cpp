// A constant rate's times, computed when asked: nothing is held per input.
#include "engine/constant_timeline.h"

namespace korvel {

bool constant_timeline::start_of(std::int64_t i, std::int64_t* ticks) const {
    if (i < 0 || i >= inputs_) return false;
    *ticks = i * rate_.den;
    return true;
}

bool constant_timeline::constant(std::int64_t* frame_ticks, std::int64_t* inputs) const {
    *frame_ticks = rate_.den;
    *inputs = inputs_;
    return true;
}

} // namespace korvel
