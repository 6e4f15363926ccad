// The render worker thread of the window program.
#pragma once

#include <cstdint>

namespace korvel {

// The thread procedure: waits for the render flag to become 1 and runs a job each time it does.
// Never returns.
std::uint32_t render_worker(std::uint32_t unused);

} // namespace korvel
