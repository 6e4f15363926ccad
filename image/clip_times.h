// The presentation times of a clip's frames, gathered from the video stream's packets in one pass
// over the container, without decoding: what a plan measured in time needs before any frame is
// decoded.
#pragma once

#include <cstdint>
#include <vector>

struct AVPacket;

namespace korvel {

struct clip_times {
    std::vector<std::int64_t> times;  // in the order met, then in presentation order
    std::int64_t end = 0;             // when the last frame stops showing
    std::int64_t latest = 0;          // the latest time noted
    std::int64_t latest_duration = 0; // that packet's duration
    std::int64_t next = 0;            // where a packet without a time is placed
};

// Notes packet's time: its pts, else its dts, else frame_ticks after the time before. False when
// the clip has more frames than a reader may time.
bool clip_times_note(clip_times& times, const AVPacket& packet, std::int64_t frame_ticks);

// Sorts the times and places the end: the last frame lasts its packet's duration, else until
// stream_end (-1 when unknown), else as long as the frame before it, else frame_ticks. False when
// that end cannot be counted.
bool clip_times_settle(clip_times& times, std::int64_t stream_end, std::int64_t frame_ticks);

} // namespace korvel
