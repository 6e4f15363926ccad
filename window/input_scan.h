// The input scan: asks for the input folder, counts its PNG files, probes the resolution of the
// last one and writes a fresh job file with the count and the resolution.
#pragma once

namespace korvel {

// Runs on the user-interface thread when the input folder's "..." button is pressed.
void input_scan();

} // namespace korvel
