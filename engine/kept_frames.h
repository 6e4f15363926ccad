// The frames that an earlier run of a render left complete, which a resumed render keeps instead
// of making them again.
#pragma once

#include "engine/frame_sink.h"

#include <cstdint>
#include <vector>

namespace korvel {

// The frames from first to last whose outputs resumed holds already, in increasing order; none
// without resumed.
std::vector<std::int32_t> frames_saved_already(const frame_sink* resumed, std::int64_t first,
                                               std::int64_t last);

} // namespace korvel
