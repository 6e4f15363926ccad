// A sound copied or re-encoded into an output, cut to the span of the frames written. Copied
// packets are whole: one is kept when its middle lies within the span, so either end of the sound
// lies within half a packet of the span's, while its times keep it exactly in step.
#include "image/clip_sound_track.h"

#include "image/clip_sound_queue.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
}

#include <cerrno>

namespace korvel {
namespace {

bool takes_as_it_is(const AVFormatContext& container, const sound_rule& rule, AVCodecID codec) {
    if (!rule.copies)
        return avformat_query_codec(container.oformat, codec, FF_COMPLIANCE_NORMAL) == 1;
    for (const AVCodecID* id = rule.copies; *id != AV_CODEC_ID_NONE; ++id)
        if (*id == codec) return true;
    return false;
}

int add_copy(sound_track& track) {
    AVCodecParameters& parameters = *track.stream->codecpar;
    const int result = avcodec_parameters_copy(&parameters, track.sound->parameters.get());
    parameters.codec_tag = 0;
    track.stream->time_base = track.sound->time_base;
    return result;
}

int write_copy(sound_track& track) {
    AVPacket& packet = *track.packet;
    if (packet.pts + packet.duration / 2 < track.from_tick) return 0;
    packet.pts -= track.from_tick;
    packet.dts -= track.from_tick;
    av_packet_rescale_ts(&packet, track.sound->time_base, track.stream->time_base);
    packet.stream_index = track.stream->index;
    packet.pos = -1;
    return av_interleaved_write_frame(track.container, &packet);
}

std::int64_t span_end(const sound_track& track, std::int64_t frames) {
    return track.from_tick + av_rescale_q(frames, track.frame_time, track.sound->time_base);
}

// Moves every packet the reader has met that is due before the end of frame `frames`.
int take_packets(sound_track& track, std::int64_t frames) {
    const std::int64_t end = span_end(track, frames);
    for (;;) {
        const sound_take_result taken = sound_take(*track.sound, end, !track.recoder, track.packet);
        if (taken == sound_take_result::overflowed) return SOUND_FELL_BEHIND;
        if (taken != sound_take_result::packet) return 0;
        const int result = track.recoder
                               ? recoder_decode(*track.recoder, track.packet.get(), track.from_tick)
                               : write_copy(track);
        av_packet_unref(track.packet.get());
        if (result < 0) return result;
    }
}

} // namespace

int sound_track_add(sound_track& track, AVFormatContext& container, const sound_rule& rule,
                    clip_sound& sound, clip_time from, AVRational rate, const char** cause) {
    track.sound = sound.shared_from_this();
    track.container = &container;
    track.from_tick = sound_tick(sound, from);
    track.frame_time = av_inv_q(rate);
    track.packet.reset(av_packet_alloc());
    track.stream = avformat_new_stream(&container, nullptr);
    if (!track.packet || !track.stream) return AVERROR(ENOMEM);
    if (takes_as_it_is(container, rule, sound.parameters->codec_id)) return add_copy(track);
    return recoder_open(track.recoder, sound, rule.encoder, container, *track.stream, cause);
}

int sound_track_write(sound_track& track, std::int64_t frames) {
    const int result = take_packets(track, frames);
    if (result < 0 || !track.recoder) return result;
    return recoder_encode(*track.recoder, frames * track.frame_time.num, track.frame_time.den,
                          false);
}

int sound_track_finish(sound_track& track, std::int64_t frames) {
    sound_read_until(*track.sound, span_end(track, frames));
    int result = take_packets(track, frames);
    if (result < 0 || !track.recoder) return result;
    result = recoder_decode(*track.recoder, nullptr, track.from_tick);
    if (result < 0) return result;
    return recoder_encode(*track.recoder, frames * track.frame_time.num, track.frame_time.den,
                          true);
}

} // namespace korvel
