// Where the render engine's time goes: process-wide totals of the time spent decoding layers,
// compositing them and encoding frames, summed over every thread, for a front end to print.
#pragma once

#include <chrono>
#include <cstdint>

namespace korvel {

struct render_stats {
    std::uint64_t decode_ns;    // layer files decoded, ahead of time or when the job asked
    std::uint64_t composite_ns; // layers drawn onto canvases
    std::uint64_t encode_ns;    // frames written to their temporary files
    std::int64_t frames;        // frames complete under their own names
};

// The totals since the process started.
render_stats render_stats_snapshot();

enum class render_stage { decode, composite, encode };

void render_stats_add(render_stage stage, std::uint64_t nanoseconds);
void render_stats_count_frame();

// Adds the time from its construction to its end to one stage: one clock read at each end.
class stage_timer {
public:
    explicit stage_timer(render_stage stage)
        : stage_(stage), start_(std::chrono::steady_clock::now()) {}
    ~stage_timer() {
        const auto elapsed = std::chrono::steady_clock::now() - start_;
        render_stats_add(
            stage_, static_cast<std::uint64_t>(
                        std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count()));
    }
    stage_timer(const stage_timer&) = delete;
    stage_timer& operator=(const stage_timer&) = delete;

private:
    render_stage stage_;
    std::chrono::steady_clock::time_point start_;
};

} // namespace korvel
