// The --stats line. The stages overlap on several threads, so the times are sums of thread time
// and may add up to more than the wall-clock time of the run.
#include "batch/batch_stats.h"

#include <cstdio>

namespace korvel {

std::string render_stats_line(const render_stats& stats) {
    char line[128];
    std::snprintf(
        line, sizeof line, "decode %.2f s, composite %.2f s, encode %.2f s (summed over threads)",
        static_cast<double>(stats.decode_ns) / 1e9, static_cast<double>(stats.composite_ns) / 1e9,
        static_cast<double>(stats.encode_ns) / 1e9);
    return line;
}

} // namespace korvel
