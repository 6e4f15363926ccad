// Times held one to a frame, as the clip reader gathered them.
#include "engine/clip_timeline.h"

namespace korvel {

bool clip_timeline::start_of(std::int64_t i, std::int64_t* ticks) const {
    if (i < 0 || i >= static_cast<std::int64_t>(times_.size())) return false;
    *ticks = times_[static_cast<std::size_t>(i)];
    return true;
}

} // namespace korvel
