// Ctrl+C and SIGTERM as a request to stop the batch render at its next check, so that the frames
// under way are finished instead of being torn.
#pragma once

namespace korvel {

// Catches SIGINT and SIGTERM from now on, and ignores SIGPIPE.
void stop_signals_install();

// The last of those signals received, or 0.
int stop_signal_received();

} // namespace korvel
