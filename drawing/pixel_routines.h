// The choice of pixel routine for one drawing: mode bits, source and destination pixel sizes,
// whether the source's alpha is to be honoured and the opacity decide how each pixel combines.
#pragma once

#include "drawing/blit_plan.h"

#include <cstdint>

namespace korvel {

// source_bytes and target_bytes are 3 or 4. Null when the combination draws nothing.
row_routine choose_row_routine(std::uint32_t mode, std::int32_t source_bytes,
                               std::int32_t target_bytes, bool with_alpha, std::int32_t opacity);

} // namespace korvel
