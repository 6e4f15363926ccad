// The program's start-up and shutdown.
#pragma once

namespace korvel {

// What a second program started in the working folder of a running one says before it ends.
inline constexpr char16_t FOLDER_TAKEN[] =
    u"Korvel is already running in this working folder; close it first.";

// Prepares the runtime in its fixed order, starts the render worker, opens the main window and
// serves it; when the window is closed, shuts down and ends the process with exit code 0 without
// waiting for the render worker. When another program already works in the working folder, the
// window only tells so, and the process ends with exit code 1 without touching the job file.
[[noreturn]] void korvel_run();

} // namespace korvel
