// A walk along the inputs of a timeline that show: each input whose time is later than every one
// before it, until the next such input. The others show for no time; the walk counts them, each
// once however often it passes them, and never asks for a time beyond the one input past what it
// needs.
#pragma once

#include "engine/exposure.h"
#include "engine/input_timeline.h"

#include <cstdint>
#include <vector>

namespace korvel {

struct shown_input {
    std::int64_t index;
    std::int64_t start; // in grid units
};

class timeline_walk {
public:
    // Times in units of scale to a tick; input 0, which always shows, is not asked for.
    timeline_walk(const input_timeline& timeline, std::int64_t scale)
        : timeline_(timeline), scale_(scale) {}

    // The pieces of the exposure from start to end (after start) that inputs show in, from the
    // one showing at start, which *from shows at or before; *from moves on to that one. False
    // when the inputs end before the exposure does.
    bool pieces(std::int64_t start, std::int64_t end, shown_input* from,
                std::vector<exposure_piece>* pieces);

    std::int64_t passed_over() const { return passed_over_; }

private:
    bool next_shown(const shown_input& from, shown_input* next);
    bool last_end(std::int64_t* units);

    const input_timeline& timeline_;
    std::int64_t scale_;
    std::int64_t counted_to_ = 1; // the inputs below have been counted; input 0 always shows
    std::int64_t passed_over_ = 0;
    bool beyond_units_ = false; // a time too large for the units ends the walk
};

} // namespace korvel
