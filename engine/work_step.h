// The steps a render job takes, one at a time: what the plan's recipes become once it is known
// how their layers are blended. The job carries them out; the read-ahead reads the loads among
// them before the job comes to them.
#pragma once

#include <cstdint>

namespace korvel {

enum class step_kind : std::uint8_t {
    begin,    // a fresh transparent canvas (and for a mean, empty sums)
    resume,   // a fresh canvas over the sums that the frame before left (a mean slid onward)
    draw,     // the input drawn onto the canvas, or added to the sums, with the amount
    take_out, // the input taken out of the sums again, with the amount it was added with
    save,     // the frame is complete: it is handed over to be written
    keep,     // the frame exists from an earlier run: it counts as saved in its turn
};

struct work_step {
    step_kind kind;
    std::int32_t frame;  // the output frame the step belongs to
    std::int64_t input;  // draw and take_out: the source's index (or NO_INPUT)
    std::int32_t amount; // draw and take_out: opacity or weight
};

inline bool is_load(const work_step& step) {
    return step.kind == step_kind::draw || step.kind == step_kind::take_out;
}

} // namespace korvel
