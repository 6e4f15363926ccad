// The line that --stats prints: where the engine's time went, for users and the benchmark.
#pragma once

#include "engine/render_stats.h"

#include <string>

namespace korvel {

// "decode 1.23 s, composite 0.45 s, encode 2.10 s (summed over threads)".
std::string render_stats_line(const render_stats& stats);

} // namespace korvel
