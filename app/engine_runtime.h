// The subsystems a render job needs, for the front ends that run it without the window (the
// window's start-up brings the same ones up together with its toolkit).
#pragma once

namespace korvel {

// Starts strings, codecs, images, drawing, files and threads and registers the PNG codec; only
// the first call in a process does anything.
void engine_runtime_start();

} // namespace korvel
