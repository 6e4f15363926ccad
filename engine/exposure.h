// An output frame's exposure on the inputs' time line: where it lies, measured in whole units
// fine enough that every time of the rule is exact, and what each input weighs in it.
#pragma once

#include "engine/rational.h"
#include "engine/time_settings.h"

#include <cstdint>
#include <vector>

namespace korvel {

struct exposure_grid {
    std::int64_t scale;  // units to a tick of the timeline
    std::int64_t step;   // units from one output frame's time to the next
    std::int64_t length; // units an exposure lasts
    std::int64_t lead;   // units from an exposure's start to its frame's time
};

// The grid of time's rates, shutter and phase over a timeline of time_base; false when its
// units would not fit in 64 bits.
bool exposure_grid_for(const time_settings& time, const rational& time_base, exposure_grid* grid);

// The part of an exposure during which one input shows, in units.
struct exposure_piece {
    std::int64_t input;
    std::int64_t from;
    std::int64_t to; // after from
};

// The pieces' weights, the largest 1024 and the others their share of it rounded to nearest,
// halves away from zero: the length of each piece, computed exactly, or with time.gauss the
// integral over it of a Gaussian centred on the exposure that starts at start.
std::vector<std::uint32_t> piece_weights(const std::vector<exposure_piece>& pieces,
                                         std::int64_t start, const exposure_grid& grid,
                                         const time_settings& time);

} // namespace korvel
