// The program's start-up and shutdown.
#pragma once

namespace korvel {

// Prepares the runtime in its fixed order, starts the render worker, opens the main window and
// serves it; when the window is closed, shuts down and ends the process with exit code 0 without
// waiting for the render worker.
[[noreturn]] void korvel_run();

} // namespace korvel
