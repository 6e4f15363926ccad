// The subsystems a render job needs, started the same way by both front ends (the window then
// starts its toolkit's own).
#pragma once

namespace korvel {

// Starts strings, codecs, images, drawing, files and threads and registers the PNG codec; only
// the first call in a process does anything.
void engine_runtime_start();

} // namespace korvel
