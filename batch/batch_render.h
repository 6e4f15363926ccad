// One run of korvel-render: the render job on the batch host, with the chosen number of threads,
// stopped by Ctrl+C, ending in the program's exit status.
#pragma once

#include "batch/batch_options.h"

namespace korvel {

inline constexpr int EXIT_RENDERED = 0;
inline constexpr int EXIT_RENDER_FAILED = 1;
inline constexpr int EXIT_USAGE = 2;
// 128 + the signal number, as shells report a command ended by a signal: 130 for SIGINT.
inline constexpr int EXIT_SIGNAL_BASE = 128;

// Runs the render that options describe on the calling thread (the runtime and the codecs are
// ready) and returns the exit status.
int batch_render(const batch_options& options);

} // namespace korvel
