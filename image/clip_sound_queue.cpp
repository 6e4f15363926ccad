// The sound's packets between the reader that meets them and the writers that take them.
#include "image/clip_sound_queue.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/mathematics.h>
}

namespace korvel {
namespace {

constexpr std::int64_t MOST_HELD_BYTES = std::int64_t{256} << 20;

std::int64_t start_of(const AVPacket& packet) {
    return packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
}

} // namespace

void codec_parameters_free::operator()(AVCodecParameters* parameters) const {
    avcodec_parameters_free(&parameters);
}

void sound_hold(clip_sound& sound, AVPacket& packet) {
    std::lock_guard hold(sound.lock);
    if (sound.overflowed || sound.held_bytes + packet.size > MOST_HELD_BYTES) {
        sound.overflowed = true;
        return;
    }
    ffmpeg_ptr<AVPacket> kept(av_packet_alloc());
    if (!kept || av_packet_ref(kept.get(), &packet) < 0) {
        sound.overflowed = true;
        return;
    }
    if (start_of(*kept) == AV_NOPTS_VALUE) kept->pts = sound.next_tick;
    if (kept->pts == AV_NOPTS_VALUE) kept->pts = kept->dts;
    if (kept->dts == AV_NOPTS_VALUE) kept->dts = kept->pts;
    sound.next_tick = kept->pts + kept->duration;
    sound.held_bytes += kept->size;
    sound.packets.push_back(std::move(kept));
}

void sound_end(clip_sound& sound) {
    std::lock_guard end(sound.lock);
    sound.ended = true;
}

sound_take_result sound_take(clip_sound& sound, std::int64_t tick, bool by_middle,
                             ffmpeg_ptr<AVPacket>& packet) {
    std::lock_guard take(sound.lock);
    if (sound.overflowed) return sound_take_result::overflowed;
    if (sound.packets.empty())
        return sound.ended ? sound_take_result::ended : sound_take_result::none_yet;
    const AVPacket& first = *sound.packets.front();
    if (first.pts + (by_middle ? first.duration / 2 : 0) >= tick)
        return sound_take_result::none_yet;
    packet = std::move(sound.packets.front());
    sound.packets.pop_front();
    sound.held_bytes -= packet->size;
    return sound_take_result::packet;
}

void sound_read_until(clip_sound& sound, std::int64_t tick) {
    std::lock_guard reading(sound.reading_lock);
    if (sound.read_on) sound.read_on(sound.reader, tick);
}

std::int64_t sound_tick(const clip_sound& sound, clip_time time) {
    if (time.num <= 0 || time.den <= 0) return sound.first_picture;
    return av_rescale_q(time.ticks, AVRational{time.num, time.den}, sound.time_base);
}

const char* clip_sound_codec(const clip_sound* sound) {
    return sound ? avcodec_get_name(sound->parameters->codec_id) : "";
}

} // namespace korvel
