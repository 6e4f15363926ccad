// How much of the machine a render job may use: the threads that the parallelism library allows
// the calling thread, and how much work may be done ahead within a fixed memory budget.
#pragma once

#include <cstdint>

namespace korvel {

// Work ahead of the frame being built (layers decoded ahead, finished frames being written) shares
// one budget of two frames per thread, and never more than WORK_AHEAD_BUDGET bytes, on top of the
// canvas and the layer being drawn. A layer decoded ahead counts as a frame; a frame handed over
// counts its canvas and what its writing takes (its rows as filtered and the compressor's
// tables), from the moment it is handed over, and may go past the budget, as its canvas exists
// already. As many frames are written side by side as their shares fit the budget (at least one),
// and one more may wait for them; the read-ahead takes what they leave. Peak memory is then about
// the same whether a job mostly decodes (long groups) or mostly writes (short ones), and no thread
// waits for memory that another thread holds. Huge frames get less read-ahead, down to none at
// all once one frame exceeds the budget; frames are then saved one after the other.
inline constexpr std::int64_t WORK_AHEAD_BUDGET = std::int64_t{512} << 20;

struct engine_shape {
    std::int32_t threads;      // threads that may work at once (at least 1)
    std::int32_t read_ahead;   // layers decoded ahead or being decoded, at most
    std::int32_t in_flight;    // finished frames not yet saved, at most
    std::int32_t encoders;     // of those, frames encoded side by side, at most
    std::int64_t frame_bytes;  // what one 32-bit frame takes
    std::int64_t encode_bytes; // what one frame being encoded takes
    std::int64_t work_ahead;   // the bytes that read-ahead and encoding share
};

// The threads that may work at once on the calling thread (at least 1): those its arena and any
// global limit in force allow.
std::int32_t engine_threads();

// The shape for frames of width x height on the calling thread, within the threads allowed by its
// arena and by any global limit in force.
// An encoder takes workspace_bytes besides its canvas (by default what a PNG file at the strongest
// level takes).
engine_shape engine_shape_for(std::int64_t width, std::int64_t height,
                              std::int64_t workspace_bytes = -1);

} // namespace korvel
