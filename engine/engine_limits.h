// How much of the machine a render job may use: the threads that the parallelism library allows
// the calling thread, and how much work may be done ahead within a fixed memory budget.
#pragma once

#include <cstdint>

namespace korvel {

// Work ahead of the frame being built (layers decoded ahead, finished frames being encoded) shares
// one budget of two frames per thread, and never more than WORK_AHEAD_BUDGET bytes, on top of the
// canvas and the layer being drawn: at most 2 + 2 x threads frames alive. A layer decoded ahead
// counts as a frame; a frame being encoded counts its rows as written, and the larger of its
// canvas (freed once the rows are written out) and the compressor's tables. Encoding has first call
// on the budget and the read-ahead uses what is left, so peak memory is about the same whether a
// job mostly decodes (long groups) or mostly encodes (short ones). Huge frames get less read-ahead,
// down to none at all once one frame exceeds the budget; frames are then saved one after the other.
inline constexpr std::int64_t WORK_AHEAD_BUDGET = std::int64_t{512} << 20;

struct engine_shape {
    std::int32_t threads;      // threads that may work at once (at least 1)
    std::int32_t read_ahead;   // layers decoded ahead or being decoded, at most
    std::int32_t in_flight;    // finished frames not yet saved, at most
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
