// Each frame is asked for once, before the render starts, so that what appears in the output
// meanwhile does not change the plan.
#include "engine/kept_frames.h"

namespace korvel {

std::vector<std::int32_t> frames_saved_already(const frame_sink* resumed, std::int64_t first,
                                               std::int64_t last) {
    std::vector<std::int32_t> kept;
    for (std::int64_t frame = first; resumed && frame <= last; ++frame)
        if (resumed->saved_already(static_cast<std::int32_t>(frame)))
            kept.push_back(static_cast<std::int32_t>(frame));
    return kept;
}

} // namespace korvel
