// The render worker thread of the window program.
#pragma once

#include <cstdint>

namespace korvel {

// The thread procedure: polls the render flag every millisecond and runs a job when it is 1.
// Never returns.
std::uint32_t render_worker(std::uint32_t unused);

} // namespace korvel
