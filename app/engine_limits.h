// How much of the machine a render job may use: the threads that the parallelism library allows
// the calling thread, and how much work may be done ahead within a fixed memory budget.
#pragma once

#include <cstdint>

namespace korvel {

// Decoded layers waiting to be drawn may take up to READ_AHEAD_BUDGET bytes, and finished
// canvases waiting to be encoded up to IN_FLIGHT_BUDGET (512 MiB in all), on top of the canvas and
// the layer being drawn. Each is also held to one frame per thread, which is what limits frames
// of ordinary sizes; huge frames get fewer, down to no work ahead at all (the job then holds two
// frames, as when it ran on one thread) once a single frame exceeds the budget.
inline constexpr std::int64_t READ_AHEAD_BUDGET = std::int64_t{256} << 20;
inline constexpr std::int64_t IN_FLIGHT_BUDGET = std::int64_t{256} << 20;

struct engine_shape {
    std::int32_t threads;    // threads that may work at once (at least 1)
    std::int32_t read_ahead; // layers decoded ahead or being decoded, at most
    std::int32_t in_flight;  // finished frames not yet saved, at most
};

// The shape for frames of width x height on the calling thread, within the threads allowed by its
// arena and by any global limit in force.
engine_shape engine_shape_for(std::int64_t width, std::int64_t height);

} // namespace korvel
