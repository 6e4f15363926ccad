// The clip writer: each canvas is converted to the encoder's pixel format, encoded with libavcodec
// and muxed with libavformat, the input's sound interleaved by time as the frames go.
#include "image/clip_writer.h"

#include "image/clip_frames.h"
#include "image/clip_output.h"
#include "image/clip_sound_track.h"
#include "runtime/error_text.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace korvel {
namespace {

// Colour over the background, rounded to the nearest: what the frame looks like without alpha.
void composite_over(const bitmap& canvas, std::uint32_t background) {
    const std::uint32_t under[3] = {background & 0xFF, (background >> 8) & 0xFF,
                                    (background >> 16) & 0xFF};
    for (std::int32_t y = 0; y < canvas.height; ++y) {
        std::uint8_t* pixel = canvas.pixels + std::ptrdiff_t{y} * canvas.stride;
        for (std::int32_t x = 0; x < canvas.width; ++x, pixel += 4) {
            const std::uint32_t alpha = pixel[3];
            for (int c = 0; c < 3; ++c)
                pixel[c] = static_cast<std::uint8_t>(
                    (pixel[c] * alpha + under[c] * (255 - alpha) + 127) / 255);
        }
    }
}

} // namespace

struct clip_writer {
    clip_output output;
    const encoder_kind* kind = nullptr;
    std::uint32_t background = 0;
    ffmpeg_ptr<AVCodecContext> encoder;
    AVStream* stream = nullptr; // owned by the container
    ffmpeg_ptr<AVFrame> frame;
    ffmpeg_ptr<AVPacket> packet;
    ffmpeg_ptr<SwsContext> scaler;
    std::unique_ptr<sound_track> sound;
    std::int64_t next_pts = 0;
    const char* problem = "";
    char problem_buffer[AV_ERROR_MAX_STRING_SIZE] = {};
};

namespace {

// Keeps the first failure's cause; always false.
bool fail(clip_writer& writer, int averror) {
    if (!*writer.problem)
        writer.problem = output_problem(writer.output, averror, writer.problem_buffer,
                                        sizeof writer.problem_buffer);
    return false;
}

// The encoder's options: its fixed ones, then the quality and speed asked for.
int encoder_options(const encoder_kind& kind, const clip_encoding& encoding,
                    AVDictionary** options) {
    int result = av_dict_parse_string(options, kind.options, "=", ":", 0);
    if (result >= 0 && encoding.crf != -1 && kind.crf.option)
        result = av_dict_set_int(options, kind.crf.option, encoding.crf, 0);
    if (result >= 0 && encoding.preset && *encoding.preset && kind.preset.option)
        result = av_dict_set(options, kind.preset.option, encoding.preset, 0);
    return result;
}

// Frame n is shown at n / rate seconds. YUV is tagged with the colour libswscale converts in.
int open_encoder(clip_writer& writer, const AVCodec* codec, const clip_settings& settings,
                 const clip_encoding& encoding) {
    writer.encoder.reset(avcodec_alloc_context3(codec));
    if (!writer.encoder) return AVERROR(ENOMEM);
    AVCodecContext& encoder = *writer.encoder;
    encoder.width = settings.width;
    encoder.height = settings.height;
    encoder.pix_fmt = writer.kind->pixels;
    encoder.time_base = {settings.rate_den, settings.rate_num};
    encoder.framerate = {settings.rate_num, settings.rate_den};
    encoder.thread_count = settings.threads;
    if (!(av_pix_fmt_desc_get(encoder.pix_fmt)->flags & AV_PIX_FMT_FLAG_RGB))
        tag_yuv_colour(encoder);
    if (writer.output.container->oformat->flags & AVFMT_GLOBALHEADER)
        encoder.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* options = nullptr;
    int result = encoder_options(*writer.kind, encoding, &options);
    if (result >= 0) result = avcodec_open2(&encoder, codec, &options);
    av_dict_free(&options);
    return result;
}

// .mp4 and .mov players look for HEVC under the sample entry that holds its headers once.
int add_stream(clip_writer& writer, const codec_kind& codec) {
    writer.stream = avformat_new_stream(writer.output.container.get(), nullptr);
    if (!writer.stream) return AVERROR(ENOMEM);
    writer.stream->time_base = writer.encoder->time_base;
    writer.stream->avg_frame_rate = writer.encoder->framerate;
    const int result =
        avcodec_parameters_from_context(writer.stream->codecpar, writer.encoder.get());
    const char* muxer = writer.output.container->oformat->name;
    if (codec.iso_tag && (std::strcmp(muxer, "mp4") == 0 || std::strcmp(muxer, "mov") == 0))
        writer.stream->codecpar->codec_tag =
            MKTAG(codec.iso_tag[0], codec.iso_tag[1], codec.iso_tag[2], codec.iso_tag[3]);
    return result;
}

// The frame each canvas is converted into, in the encoder's format and colour.
int allocate_frame(clip_writer& writer) {
    writer.frame.reset(av_frame_alloc());
    writer.packet.reset(av_packet_alloc());
    if (!writer.frame || !writer.packet) return AVERROR(ENOMEM);
    const AVCodecContext& encoder = *writer.encoder;
    writer.frame->format = encoder.pix_fmt;
    writer.frame->width = encoder.width;
    writer.frame->height = encoder.height;
    writer.frame->colorspace = encoder.colorspace;
    writer.frame->color_range = encoder.color_range;
    writer.frame->color_primaries = encoder.color_primaries;
    writer.frame->color_trc = encoder.color_trc;
    return av_frame_get_buffer(writer.frame.get(), 0);
}

int add_sound(clip_writer& writer, const clip_format& format, const clip_settings& settings,
              const clip_choices& choices, const char** cause) {
    if (!choices.sound || !format.sound.encoder) return 0;
    writer.sound = std::make_unique<sound_track>();
    return sound_track_add(*writer.sound, *writer.output.container, format.sound, *choices.sound,
                           choices.sound_from, {settings.rate_num, settings.rate_den}, cause);
}

// Creates the file last, so that a refused encoder leaves nothing behind to remove.
int start_clip(clip_writer& writer, const char16_t* path, const clip_format& format,
               const codec_kind& codec, const clip_settings& settings, const clip_choices& choices,
               const char** cause) {
    const AVCodec* encoder = avcodec_find_encoder_by_name(writer.kind->name);
    int result = output_create(writer.output, format, path);
    if (result >= 0) result = open_encoder(writer, encoder, settings, choices.encoding);
    if (result >= 0) result = add_stream(writer, codec);
    if (result >= 0) result = allocate_frame(writer);
    if (result >= 0) result = add_sound(writer, format, settings, choices, cause);
    return result < 0 ? result : output_start(writer.output, format);
}

// What the encoder cannot take of the frames' size, or null.
const char* size_problem(const codec_kind& codec, const encoder_kind& kind,
                         const clip_settings& settings) {
    thread_local char cause[96];
    if (kind.needs_even_sides && ((settings.width | settings.height) & 1)) {
        std::snprintf(cause, sizeof cause, "%s needs an even width and height", codec.title);
        return cause;
    }
    if (settings.width >= kind.smallest_side && settings.height >= kind.smallest_side)
        return nullptr;
    std::snprintf(cause, sizeof cause, "%s needs frames of at least %d pixels each way", kind.name,
                  kind.smallest_side);
    return cause;
}

// Open's causes outlive the writer that failed; the thread's next open may replace them.
const char* start_writer(clip_writer& writer, const char16_t* path, const clip_format& format,
                         const clip_settings& settings, const clip_choices& choices) {
    const char* refused = clip_encoding_problem(&format, choices.encoding);
    if (*refused) return refused;
    if ((refused = output_refusal(format, path))) return refused;
    const codec_kind& codec = *codec_in(format, choices.encoding);
    writer.kind = available_encoder(codec);
    if (const char* cause = size_problem(codec, *writer.kind, settings)) return cause;
    writer.background = settings.background;
    const char* cause = nullptr;
    const int result = start_clip(writer, path, format, codec, settings, choices, &cause);
    if (result >= 0) return nullptr;
    thread_local char buffer[AV_ERROR_MAX_STRING_SIZE];
    return cause ? cause : output_problem(writer.output, result, buffer, sizeof buffer);
}

// Sends the frame (null: the end of the stream) and writes every packet the encoder has ready.
bool encode(clip_writer& writer, const AVFrame* frame) {
    AVCodecContext* encoder = writer.encoder.get();
    int result = avcodec_send_frame(encoder, frame);
    while (result >= 0) {
        result = avcodec_receive_packet(encoder, writer.packet.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
        if (result < 0) break;
        av_packet_rescale_ts(writer.packet.get(), encoder->time_base, writer.stream->time_base);
        writer.packet->stream_index = writer.stream->index;
        result = av_interleaved_write_frame(writer.output.container.get(), writer.packet.get());
    }
    return fail(writer, result);
}

bool fits(const clip_writer& writer, const bitmap* canvas) {
    return canvas && canvas->type == OBJ_BITMAP && canvas->depth == 32 &&
           canvas->width == writer.encoder->width && canvas->height == writer.encoder->height;
}

bool add_canvas(clip_writer& writer, image_handle_t canvas) {
    if (*writer.problem) return false;
    const bitmap* b = bitmap_get(canvas);
    if (!fits(writer, b)) return fail(writer, AVERROR(EINVAL));
    if (!writer.kind->keeps_alpha) composite_over(*b, writer.background);
    int result = av_frame_make_writable(writer.frame.get());
    if (result < 0) return fail(writer, result);
    if (!picture_copy(*writer.frame, *b, picture_way::into_frame, writer.scaler))
        return fail(writer, AVERROR(ENOMEM));
    writer.frame->pts = writer.next_pts++;
    if (!encode(writer, writer.frame.get())) return false;
    result = writer.sound ? sound_track_write(*writer.sound, writer.next_pts) : 0;
    return result >= 0 || fail(writer, result);
}

bool finish_clip(clip_writer& writer) {
    if (*writer.problem || !encode(writer, nullptr)) return false;
    int result = writer.sound ? sound_track_finish(*writer.sound, writer.next_pts) : 0;
    if (result >= 0) result = output_finish(writer.output);
    return result >= 0 || fail(writer, result);
}

} // namespace

clip_writer* clip_writer_open_with(const char16_t* path, const clip_format* format,
                                   const clip_settings& settings, const clip_choices& choices,
                                   const char** problem) {
    ffmpeg_quiet();
    if (!path || !format || !format->codecs || settings.rate_num <= 0 || settings.rate_den <= 0) {
        *problem = error_text(EINVAL);
        return nullptr;
    }
    try {
        auto writer = std::make_unique<clip_writer>();
        const char* cause = start_writer(*writer, path, *format, settings, choices);
        if (!cause) return writer.release();
        *problem = cause;
    } catch (const std::bad_alloc&) {
        *problem = error_text(ENOMEM);
    }
    return nullptr;
}

clip_writer* clip_writer_open(const char16_t* path, const clip_format* format,
                              const clip_settings& settings, const char** problem) {
    return clip_writer_open_with(path, format, settings, clip_choices{}, problem);
}

std::int32_t clip_writer_add(clip_writer* writer, image_handle_t canvas) {
    const bool added = writer && add_canvas(*writer, canvas);
    bitmap_delete(canvas);
    return added;
}

std::int32_t clip_writer_finish(clip_writer* writer) {
    return writer && finish_clip(*writer);
}

const char* clip_writer_problem(const clip_writer* writer) {
    return writer ? writer->problem : "";
}

void clip_writer_close(clip_writer* writer) {
    delete writer;
}

} // namespace korvel
