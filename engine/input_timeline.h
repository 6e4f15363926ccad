// The times at which a render's inputs show, in one time base: what a plan measured in time reads
// instead of counting inputs. A timeline may learn its times only as it reads its inputs (a
// clip's timestamps), so it is asked in increasing input order, lazily, and may not know its end
// before it reaches it.
#pragma once

#include "engine/rational.h"

#include <cstdint>

namespace korvel {

class input_timeline {
public:
    virtual ~input_timeline() = default;

    // Input i's start time as ticks of time_base(); false when there is no input i (the end).
    // Times need not increase: an input whose time is not later than every one before it shows
    // for no time, which the plan decides.
    virtual bool start_of(std::int64_t i, std::int64_t* ticks) const = 0;
    // When the last input ends (only asked once start_of has said false).
    virtual std::int64_t end_ticks() const = 0;
    // The same for a timeline that knows its end before its inputs are read (a clip's times read
    // as it opened); false for one that reading reveals.
    virtual bool end_known(std::int64_t*) const { return false; }
    // Seconds per tick.
    virtual rational time_base() const = 0;

    // For a timeline known before its inputs are read: every input lasts frame_ticks and there
    // are inputs of them. False for a timeline that reading reveals.
    virtual bool constant(std::int64_t* frame_ticks, std::int64_t* inputs) const = 0;
};

} // namespace korvel
