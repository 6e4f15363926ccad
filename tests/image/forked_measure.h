// Runs one piece of work in a forked child and measures it from outside the test's own heap: how
// long it took, how much the child's peak resident memory grew, and whether it ended by itself.
#pragma once

#include <cstdint>
#include <functional>

namespace korvel::test {

struct measured_run {
    bool finished = false; // the child returned from the work and reported (no crash, no kill)
    bool result = false;   // what the work returned
    double seconds = 0;
    std::int64_t peak_growth_kib = 0; // VmHWM after the work minus VmHWM before it
};

measured_run run_measured(const std::function<bool()>& work);

} // namespace korvel::test
