// Thread count and memory budget of the render engine.
#include "app/engine_limits.h"

#include <oneapi/tbb/global_control.h>
#include <oneapi/tbb/task_arena.h>

#include <algorithm>

namespace korvel {
namespace {

constexpr std::int64_t max_side = 32767;

std::int32_t allowed_threads() {
    const auto arena = static_cast<std::int64_t>(tbb::this_task_arena::max_concurrency());
    const auto global = static_cast<std::int64_t>(
        tbb::global_control::active_value(tbb::global_control::max_allowed_parallelism));
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(std::min(arena, global), 1, 1024));
}

// A 32-bit frame's bytes; sizes no canvas can have are brought into range, since the job fails
// on them anyway.
std::int64_t frame_bytes(std::int64_t width, std::int64_t height) {
    return std::clamp<std::int64_t>(width, 1, max_side) *
           std::clamp<std::int64_t>(height, 1, max_side) * 4;
}

std::int32_t frames_within(std::int64_t budget, std::int64_t bytes_each, std::int32_t most) {
    return static_cast<std::int32_t>(std::min<std::int64_t>(budget / bytes_each, most));
}

} // namespace

engine_shape engine_shape_for(std::int64_t width, std::int64_t height) {
    const std::int32_t threads = allowed_threads();
    const std::int64_t bytes = frame_bytes(width, height);
    return {threads, frames_within(READ_AHEAD_BUDGET, bytes, threads),
            frames_within(IN_FLIGHT_BUDGET, bytes, threads)};
}

} // namespace korvel
