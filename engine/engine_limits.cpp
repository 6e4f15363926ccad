// Thread count and memory budget of the render engine.
#include "engine/engine_limits.h"

#include "image/png_idat_stream.h"

#include <oneapi/tbb/global_control.h>
#include <oneapi/tbb/task_arena.h>

#include <algorithm>

namespace korvel {
namespace {

constexpr std::int64_t max_side = 32767;

} // namespace

std::int32_t engine_threads() {
    const auto arena = static_cast<std::int64_t>(tbb::this_task_arena::max_concurrency());
    const auto global = static_cast<std::int64_t>(
        tbb::global_control::active_value(tbb::global_control::max_allowed_parallelism));
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(std::min(arena, global), 1, 1024));
}

namespace {

// Sizes no canvas can have are brought into range, since the job fails on them anyway.
std::int32_t canvas_side(std::int64_t side) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(side, 1, max_side));
}

std::int32_t frames_within(std::int64_t budget, std::int64_t bytes_each, std::int32_t most) {
    return static_cast<std::int32_t>(std::min<std::int64_t>(budget / bytes_each, most));
}

} // namespace

engine_shape engine_shape_for(std::int64_t width, std::int64_t height,
                              std::int64_t workspace_bytes) {
    const std::int32_t threads = engine_threads();
    const std::int32_t w = canvas_side(width);
    const std::int32_t h = canvas_side(height);
    const std::int64_t bytes = std::int64_t{w} * h * 4;
    // Encoding holds the canvas and its filtered rows, then the rows and the compressor's tables.
    const std::int64_t workspace =
        workspace_bytes >= 0 ? workspace_bytes : png_idat_workspace_bytes(w, h, 4);
    const std::int64_t encode_bytes = std::max(bytes + png_idat_rows_bytes(w, h, 4), workspace);
    const std::int64_t work_ahead = std::min(2 * threads * bytes, WORK_AHEAD_BUDGET);
    // A frame handed over holds its encoder's share until it is written, and one finished canvas
    // more may wait while the encoders work, so that the job's thread goes on making frames; the
    // read-ahead takes what the frames in flight leave. A frame too large for the budget at all
    // is saved before the next one is begun.
    const std::int32_t encoders = std::max(frames_within(work_ahead, encode_bytes, threads), 1);
    const bool fits = bytes <= work_ahead;
    return {threads,
            frames_within(work_ahead, bytes, 2 * threads),
            fits ? encoders + 1 : 0,
            encoders,
            bytes,
            encode_bytes,
            work_ahead};
}

} // namespace korvel
