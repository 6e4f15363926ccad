// Packet times as the demuxer gives them. Packets come in decoding order, so their times are
// sorted once all are in: decoded frames come out in presentation order.
#include "image/clip_times.h"

#include "image/clip_reader.h"

extern "C" {
#include <libavcodec/packet.h>
#include <libavutil/avutil.h>
}

#include <algorithm>

namespace korvel {

bool clip_times_note(clip_times& times, const AVPacket& packet, std::int64_t frame_ticks) {
    if (static_cast<std::int64_t>(times.times.size()) >= CLIP_MOST_TIMES) return false;
    const std::int64_t time = packet.pts != AV_NOPTS_VALUE   ? packet.pts
                              : packet.dts != AV_NOPTS_VALUE ? packet.dts
                                                             : times.next;
    if (times.times.empty() || time >= times.latest) {
        times.latest = time;
        times.latest_duration = packet.duration;
    }
    times.times.push_back(time);
    times.next = time + frame_ticks;
    return true;
}

bool clip_times_settle(clip_times& times, std::int64_t stream_end, std::int64_t frame_ticks) {
    std::vector<std::int64_t>& t = times.times;
    std::sort(t.begin(), t.end());
    if (t.empty()) return true;
    const std::int64_t last = t.back();
    std::int64_t lasting = times.latest_duration;
    if (lasting <= 0 && stream_end > last) lasting = stream_end - last;
    if (lasting <= 0 && t.size() > 1) lasting = last - t[t.size() - 2];
    if (lasting <= 0) lasting = frame_ticks;
    return !__builtin_add_overflow(last, lasting, &times.end);
}

} // namespace korvel
