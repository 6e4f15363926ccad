// A blur measured in time, as plain values: output frames at a rate, each exposed for a share of
// its interval (the shutter angle) placed at its time by the phase, and the inputs weighed by how
// long they show during the exposure, evenly or under a Gaussian.
#pragma once

#include "engine/rational.h"

#include <cstdint>

namespace korvel {

enum class exposure_phase : std::uint8_t {
    start,  // the exposure begins at the frame's time
    center, // it is centred on it
    end,    // it ends there
};

struct time_settings {
    rational out_rate;                             // output frames per second; 0: none
    rational shutter{360, 1};                      // degrees, above 0 and at most 3600
    exposure_phase phase = exposure_phase::center; //
    rational in_rate;       // the inputs' frames per second; 0: a clip's own rate, else 25
    bool gauss = false;     // weights under a Gaussian centred on the exposure
    double sigma = 1.0 / 6; // its standard deviation as a share of the exposure
};

// Whether the render measures its frames in time rather than counting inputs.
inline bool by_time(const time_settings& time) {
    return time.out_rate.num > 0;
}

} // namespace korvel
