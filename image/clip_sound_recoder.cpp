// Decoding, cutting, converting and encoding a sound for an output that cannot take it as it is.
#include "image/clip_sound_recoder.h"

#include "image/clip_frames.h"
#include "image/clip_sound_queue.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace korvel {
namespace {

// Lossy encoders get this much per channel.
constexpr std::int64_t BITS_PER_CHANNEL = 64000;
// Frames that sound in step within this many seconds are taken as following on.
constexpr int STEP_DIVISOR = 100;
constexpr int CHUNK = 1024;
constexpr int MOST_CHANNELS = 64;

struct fifo_free {
    void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};

struct resampler_free {
    void operator()(SwrContext* resampler) const { swr_free(&resampler); }
};

// The input's rate when the encoder takes it, else the highest it takes.
int output_rate(const AVCodec& codec, int input_rate) {
    int highest = 0;
    for (const int* rate = codec.supported_samplerates; rate && *rate; ++rate) {
        if (*rate == input_rate) return input_rate;
        highest = std::max(highest, *rate);
    }
    return highest > 0 ? highest : input_rate;
}

AVSampleFormat output_format(const AVCodec& codec, AVSampleFormat input) {
    for (const AVSampleFormat* f = codec.sample_fmts; f && *f != AV_SAMPLE_FMT_NONE; ++f)
        if (*f == input) return input;
    return codec.sample_fmts ? codec.sample_fmts[0] : input;
}

// The input's layout when the encoder takes it, else its own of as many channels, else stereo.
int output_layout(const AVCodec& codec, const AVChannelLayout& input, AVChannelLayout* out) {
    if (!codec.ch_layouts) return av_channel_layout_copy(out, &input);
    for (const AVChannelLayout* l = codec.ch_layouts; l->nb_channels; ++l)
        if (av_channel_layout_compare(l, &input) == 0) return av_channel_layout_copy(out, l);
    for (const AVChannelLayout* l = codec.ch_layouts; l->nb_channels; ++l)
        if (l->nb_channels == input.nb_channels) return av_channel_layout_copy(out, l);
    const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    return av_channel_layout_copy(out, &stereo);
}

} // namespace

struct sound_recoder {
    ffmpeg_ptr<AVCodecContext> decoder, encoder;
    std::unique_ptr<SwrContext, resampler_free> resampler;
    std::unique_ptr<AVAudioFifo, fifo_free> fifo;
    ffmpeg_ptr<AVFrame> decoded, converted, chunk;
    ffmpeg_ptr<AVPacket> packet;
    AVFormatContext* container = nullptr;
    AVStream* stream = nullptr;
    std::int64_t placed = 0;  // samples put into the fifo since the span's start
    std::int64_t encoded = 0; // of which sent to the encoder
    bool started = false;
};

void sound_recoder_free::operator()(sound_recoder* recoder) const {
    delete recoder;
}

namespace {

int open_decoder(sound_recoder& r, const clip_sound& sound, const char** cause) {
    const AVCodec* codec = avcodec_find_decoder(sound.parameters->codec_id);
    if (!codec) {
        *cause = "no decoder for the input's sound";
        return AVERROR_DECODER_NOT_FOUND;
    }
    r.decoder.reset(avcodec_alloc_context3(codec));
    if (!r.decoder) return AVERROR(ENOMEM);
    int result = avcodec_parameters_to_context(r.decoder.get(), sound.parameters.get());
    r.decoder->pkt_timebase = sound.time_base;
    if (result >= 0) result = avcodec_open2(r.decoder.get(), codec, nullptr);
    if (result >= 0 && r.decoder->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&r.decoder->ch_layout, r.decoder->ch_layout.nb_channels);
    if (result >= 0 &&
        (r.decoder->ch_layout.nb_channels < 1 || r.decoder->ch_layout.nb_channels > MOST_CHANNELS ||
         r.decoder->sample_rate < 1))
        result = AVERROR_INVALIDDATA;
    return result;
}

int open_encoder(sound_recoder& r, const char* name, const char** cause) {
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (!codec) {
        thread_local char missing[64];
        std::snprintf(missing, sizeof missing, "this system's FFmpeg has no %s encoder", name);
        *cause = missing;
        return AVERROR_ENCODER_NOT_FOUND;
    }
    r.encoder.reset(avcodec_alloc_context3(codec));
    if (!r.encoder) return AVERROR(ENOMEM);
    AVCodecContext& e = *r.encoder;
    const AVCodecContext& d = *r.decoder;
    int result = output_layout(*codec, d.ch_layout, &e.ch_layout);
    e.sample_rate = output_rate(*codec, d.sample_rate);
    e.sample_fmt = output_format(*codec, d.sample_fmt);
    e.time_base = {1, e.sample_rate};
    e.bit_rate = BITS_PER_CHANNEL * e.ch_layout.nb_channels;
    if (r.container->oformat->flags & AVFMT_GLOBALHEADER) e.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (result >= 0) result = avcodec_open2(&e, codec, nullptr);
    if (result >= 0) result = avcodec_parameters_from_context(r.stream->codecpar, &e);
    r.stream->time_base = e.time_base;
    return result;
}

int allocate_buffers(sound_recoder& r) {
    const AVCodecContext& e = *r.encoder;
    r.resampler.reset(swr_alloc());
    r.fifo.reset(av_audio_fifo_alloc(e.sample_fmt, e.ch_layout.nb_channels, CHUNK));
    r.decoded.reset(av_frame_alloc());
    r.converted.reset(av_frame_alloc());
    r.chunk.reset(av_frame_alloc());
    r.packet.reset(av_packet_alloc());
    return r.resampler && r.fifo && r.decoded && r.converted && r.chunk && r.packet
               ? 0
               : AVERROR(ENOMEM);
}

// Sets up an empty frame of the encoder's sample layout.
int ready_frame(const AVCodecContext& e, AVFrame& frame, int samples) {
    av_frame_unref(&frame);
    frame.format = e.sample_fmt;
    frame.sample_rate = e.sample_rate;
    frame.nb_samples = samples;
    const int result = av_channel_layout_copy(&frame.ch_layout, &e.ch_layout);
    return result < 0 || samples == 0 ? result : av_frame_get_buffer(&frame, 0);
}

int place_silence(sound_recoder& r, std::int64_t samples) {
    const AVCodecContext& e = *r.encoder;
    while (samples > 0) {
        const int n = static_cast<int>(std::min<std::int64_t>(samples, CHUNK));
        int result = ready_frame(e, *r.chunk, n);
        if (result < 0) return result;
        av_samples_set_silence(r.chunk->extended_data, 0, n, e.ch_layout.nb_channels, e.sample_fmt);
        result =
            av_audio_fifo_write(r.fifo.get(), reinterpret_cast<void**>(r.chunk->extended_data), n);
        if (result < 0) return result;
        r.placed += n;
        samples -= n;
    }
    return 0;
}

// The converted samples from skip on.
int place_samples(sound_recoder& r, int skip) {
    AVFrame& c = *r.converted;
    const int channels = r.encoder->ch_layout.nb_channels;
    const bool planar = av_sample_fmt_is_planar(r.encoder->sample_fmt);
    const int step = av_get_bytes_per_sample(r.encoder->sample_fmt) * (planar ? 1 : channels);
    void* planes[MOST_CHANNELS] = {};
    for (int i = 0; i < (planar ? channels : 1); ++i)
        planes[i] = c.extended_data[i] + std::ptrdiff_t{skip} * step;
    const int result = av_audio_fifo_write(r.fifo.get(), planes, c.nb_samples - skip);
    if (result >= 0) r.placed += c.nb_samples - skip;
    return result < 0 ? result : 0;
}

// Where the converted samples belong: a first frame wholly before the span is dropped, one
// starting after it is preceded by silence; later ones follow on unless they are out of step.
int place(sound_recoder& r, std::int64_t position) {
    const std::int64_t samples = r.converted->nb_samples;
    if (!r.started && position + samples <= 0) return 0;
    std::int64_t drift = position - r.placed;
    if (r.started && std::abs(drift) <= r.encoder->sample_rate / STEP_DIVISOR) drift = 0;
    r.started = true;
    if (drift > 0) {
        const int result = place_silence(r, drift);
        if (result < 0) return result;
    }
    return place_samples(r, static_cast<int>(std::min(std::max<std::int64_t>(-drift, 0), samples)));
}

// Converts the decoded frame (null: what the resampler holds back) and places it.
int convert(sound_recoder& r, const AVFrame* decoded, std::int64_t from_tick) {
    if (!decoded && !swr_is_initialized(r.resampler.get())) return 0;
    std::int64_t position = r.placed;
    if (decoded && decoded->best_effort_timestamp != AV_NOPTS_VALUE)
        position = av_rescale_q(decoded->best_effort_timestamp - from_tick, r.decoder->pkt_timebase,
                                r.encoder->time_base);
    int result = ready_frame(*r.encoder, *r.converted, 0);
    if (result >= 0) result = swr_convert_frame(r.resampler.get(), r.converted.get(), decoded);
    if (result == AVERROR_INPUT_CHANGED) {
        swr_close(r.resampler.get());
        result = ready_frame(*r.encoder, *r.converted, 0);
        if (result >= 0) result = swr_convert_frame(r.resampler.get(), r.converted.get(), decoded);
    }
    return result < 0 || r.converted->nb_samples == 0 ? result : place(r, position);
}

int write_packets(sound_recoder& r) {
    for (;;) {
        int result = avcodec_receive_packet(r.encoder.get(), r.packet.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return 0;
        if (result < 0) return result;
        av_packet_rescale_ts(r.packet.get(), r.encoder->time_base, r.stream->time_base);
        r.packet->stream_index = r.stream->index;
        result = av_interleaved_write_frame(r.container, r.packet.get());
        if (result < 0) return result;
    }
}

bool takes_short_frames(const AVCodecContext& e) {
    return e.frame_size == 0 || (e.codec->capabilities & (AV_CODEC_CAP_VARIABLE_FRAME_SIZE |
                                                          AV_CODEC_CAP_SMALL_LAST_FRAME));
}

// Sends n samples from the fifo, padded with silence to a whole frame where the encoder needs it.
int send_chunk(sound_recoder& r, int n) {
    const AVCodecContext& e = *r.encoder;
    const int frame_size = e.frame_size > 0 ? e.frame_size : CHUNK;
    int result = ready_frame(e, *r.chunk, takes_short_frames(e) ? n : frame_size);
    if (result < 0) return result;
    av_samples_set_silence(r.chunk->extended_data, 0, r.chunk->nb_samples, e.ch_layout.nb_channels,
                           e.sample_fmt);
    result = av_audio_fifo_read(r.fifo.get(), reinterpret_cast<void**>(r.chunk->extended_data), n);
    if (result < 0) return result;
    r.chunk->pts = r.encoded;
    r.encoded += n;
    result = avcodec_send_frame(r.encoder.get(), r.chunk.get());
    return result < 0 ? result : write_packets(r);
}

} // namespace

int recoder_open(recoder_ptr& recoder, const clip_sound& sound, const char* encoder,
                 AVFormatContext& container, AVStream& stream, const char** cause) {
    recoder.reset(new sound_recoder);
    recoder->container = &container;
    recoder->stream = &stream;
    int result = open_decoder(*recoder, sound, cause);
    if (result >= 0) result = open_encoder(*recoder, encoder, cause);
    return result < 0 ? result : allocate_buffers(*recoder);
}

int recoder_decode(sound_recoder& r, const AVPacket* packet, std::int64_t from_tick) {
    int result = avcodec_send_packet(r.decoder.get(), packet);
    // A damaged packet of sound costs its moment of sound, not the clip.
    if (result == AVERROR_INVALIDDATA) return 0;
    while (result >= 0) {
        result = avcodec_receive_frame(r.decoder.get(), r.decoded.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_INVALIDDATA) return 0;
        if (result == AVERROR_EOF) return convert(r, nullptr, from_tick);
        if (result >= 0) result = convert(r, r.decoded.get(), from_tick);
        av_frame_unref(r.decoded.get());
    }
    return result;
}

int recoder_encode(sound_recoder& r, std::int64_t until_num, std::int64_t until_den, bool last) {
    const std::int64_t limit = av_rescale(until_num, r.encoder->sample_rate, until_den);
    const int frame_size = r.encoder->frame_size > 0 ? r.encoder->frame_size : CHUNK;
    for (;;) {
        const std::int64_t n = std::min<std::int64_t>(
            {frame_size, av_audio_fifo_size(r.fifo.get()), limit - r.encoded});
        if (n <= 0 || (n < frame_size && !last)) break;
        const int result = send_chunk(r, static_cast<int>(n));
        if (result < 0) return result;
    }
    if (!last) return 0;
    const int result = avcodec_send_frame(r.encoder.get(), nullptr);
    return result < 0 ? result : write_packets(r);
}

} // namespace korvel
