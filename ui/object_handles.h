// Handles of windows, gadgets and status bars: the non-zero first field of their records and what
// their create operations return. A handle names one object and is not given out again while the
// process runs, so a stale handle finds nothing instead of another object.
#pragma once

#include <cstdint>

namespace korvel {

std::uint32_t next_object_handle();

} // namespace korvel
