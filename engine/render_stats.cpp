// The engine's timing totals. Relaxed atomics: the totals are only ever summed and read as a
// whole afterwards, so no ordering between them is needed.
#include "engine/render_stats.h"

#include <atomic>

namespace korvel {
namespace {

std::atomic<std::uint64_t> decode_total{0};
std::atomic<std::uint64_t> composite_total{0};
std::atomic<std::uint64_t> encode_total{0};
std::atomic<std::int64_t> frame_total{0};

std::atomic<std::uint64_t>& total_of(render_stage stage) {
    switch (stage) {
    case render_stage::decode:
        return decode_total;
    case render_stage::composite:
        return composite_total;
    case render_stage::encode:
        break;
    }
    return encode_total;
}

} // namespace

render_stats render_stats_snapshot() {
    return {decode_total.load(std::memory_order_relaxed),
            composite_total.load(std::memory_order_relaxed),
            encode_total.load(std::memory_order_relaxed),
            frame_total.load(std::memory_order_relaxed)};
}

void render_stats_add(render_stage stage, std::uint64_t nanoseconds) {
    total_of(stage).fetch_add(nanoseconds, std::memory_order_relaxed);
}

void render_stats_count_frame() {
    frame_total.fetch_add(1, std::memory_order_relaxed);
}

} // namespace korvel
