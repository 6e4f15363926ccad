// The clip writer: each canvas is converted to the encoder's pixel format, encoded with
// libavcodec and muxed with libavformat into the container its kind names.
#include "image/clip_writer.h"

#include "image/clip_frames.h"
#include "runtime/error_text.h"
#include "runtime/utf.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

namespace korvel {
namespace {

struct clip_kind {
    clip_format format;
    AVPixelFormat pixels;
    const char* options;   // the encoder's, as av_dict_parse_string reads them
    bool needs_even_sides; // 4:2:0 H.264 cannot encode half a chroma sample
};

// FFV1 from level 3 codes slices, which threads share, and with g=1 every frame on its own.
// libvpx keeps to the quality asked for only without a bit rate, and shares rows among threads
// only when told.
constexpr clip_kind kinds[] = {
    {{".mkv", "matroska", "ffv1", 1}, AV_PIX_FMT_BGRA, "level=3:g=1", false},
    {{".mov", "mov", "png", 1}, AV_PIX_FMT_RGBA, "pred=mixed", false},
    {{".webm", "webm", "libvpx-vp9", 1}, AV_PIX_FMT_YUVA420P, "crf=30:b=0:row-mt=1", false},
    {{".mp4", "mp4", "libx264", 0}, AV_PIX_FMT_YUV420P, "crf=18:preset=medium", true},
};

const clip_kind* kind_of(const clip_format* format) {
    for (const clip_kind& kind : kinds)
        if (&kind.format == format) return &kind;
    return nullptr;
}

// Whether the path ends with the extension (lower-case ASCII), in any case.
bool ends_with(const char16_t* path, const char* extension) {
    const std::size_t length = std::char_traits<char16_t>::length(path);
    const std::size_t wanted = std::strlen(extension);
    if (length < wanted) return false;
    for (std::size_t i = 0; i < wanted; ++i) {
        const char16_t c = path[length - wanted + i];
        if ((c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c) != extension[i]) return false;
    }
    return true;
}

struct output_close {
    void operator()(AVFormatContext* container) const {
        avio_closep(&container->pb);
        avformat_free_context(container);
    }
};

// The system's word for a system error, else FFmpeg's, written into buffer.
const char* text_of(int averror, char* buffer, std::size_t size) {
    if (const int error = errno_of(averror)) return error_text(error);
    av_strerror(averror, buffer, size);
    return buffer;
}

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
    std::string path; // UTF-8, to remove the file unless it was finished
    const clip_kind* kind = nullptr;
    std::uint32_t background = 0;
    std::unique_ptr<AVFormatContext, output_close> container;
    ffmpeg_ptr<AVCodecContext> encoder;
    AVStream* stream = nullptr; // owned by the container
    ffmpeg_ptr<AVFrame> frame;
    ffmpeg_ptr<AVPacket> packet;
    ffmpeg_ptr<SwsContext> scaler;
    std::int64_t next_pts = 0;
    bool file_made = false;
    bool finished = false;
    const char* problem = "";
    char problem_buffer[AV_ERROR_MAX_STRING_SIZE] = {};

    ~clip_writer() {
        container.reset();
        if (file_made && !finished) unlink(path.c_str());
    }
};

namespace {

// Keeps the first failure's cause; always false.
bool fail(clip_writer& writer, int averror) {
    if (!*writer.problem)
        writer.problem = text_of(averror, writer.problem_buffer, sizeof writer.problem_buffer);
    return false;
}

// Frame n is shown at n / rate seconds. YUV is tagged as the BT.601 libswscale converts to, so
// that players do not guess another matrix from the picture's size.
int open_encoder(clip_writer& writer, const AVCodec* codec, const clip_settings& settings) {
    writer.encoder.reset(avcodec_alloc_context3(codec));
    if (!writer.encoder) return AVERROR(ENOMEM);
    AVCodecContext& encoder = *writer.encoder;
    encoder.width = settings.width;
    encoder.height = settings.height;
    encoder.pix_fmt = writer.kind->pixels;
    encoder.time_base = {settings.rate_den, settings.rate_num};
    encoder.framerate = {settings.rate_num, settings.rate_den};
    encoder.thread_count = settings.threads;
    if (!(av_pix_fmt_desc_get(encoder.pix_fmt)->flags & AV_PIX_FMT_FLAG_RGB)) {
        encoder.colorspace = AVCOL_SPC_SMPTE170M;
        encoder.color_range = AVCOL_RANGE_MPEG;
    }
    if (writer.container->oformat->flags & AVFMT_GLOBALHEADER)
        encoder.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* options = nullptr;
    int result = av_dict_parse_string(&options, writer.kind->options, "=", ":", 0);
    if (result >= 0) result = avcodec_open2(&encoder, codec, &options);
    av_dict_free(&options);
    return result;
}

int add_stream(clip_writer& writer) {
    writer.stream = avformat_new_stream(writer.container.get(), nullptr);
    if (!writer.stream) return AVERROR(ENOMEM);
    writer.stream->time_base = writer.encoder->time_base;
    writer.stream->avg_frame_rate = writer.encoder->framerate;
    return avcodec_parameters_from_context(writer.stream->codecpar, writer.encoder.get());
}

// The frame each canvas is converted into, in the encoder's format and colour space.
int allocate_frame(clip_writer& writer) {
    writer.frame.reset(av_frame_alloc());
    writer.packet.reset(av_packet_alloc());
    if (!writer.frame || !writer.packet) return AVERROR(ENOMEM);
    writer.frame->format = writer.encoder->pix_fmt;
    writer.frame->width = writer.encoder->width;
    writer.frame->height = writer.encoder->height;
    writer.frame->colorspace = writer.encoder->colorspace;
    writer.frame->color_range = writer.encoder->color_range;
    return av_frame_get_buffer(writer.frame.get(), 0);
}

// Creates the file last but one, so that a refused encoder leaves nothing behind to remove.
int start_clip(clip_writer& writer, const AVCodec* codec, const clip_settings& settings) {
    AVFormatContext* created = nullptr;
    int result =
        avformat_alloc_output_context2(&created, nullptr, writer.kind->format.muxer, nullptr);
    writer.container.reset(created);
    if (result < 0) return result;
    if ((result = open_encoder(writer, codec, settings)) < 0) return result;
    if ((result = add_stream(writer)) < 0) return result;
    if ((result = allocate_frame(writer)) < 0) return result;
    result = avio_open(&writer.container->pb, ("file:" + writer.path).c_str(), AVIO_FLAG_WRITE);
    if (result < 0) return result;
    writer.file_made = true;
    return avformat_write_header(writer.container.get(), nullptr);
}

// Open's causes outlive the writer that failed; the thread's next open may replace them.
const char* start_writer(clip_writer& writer, const char16_t* path, const clip_settings& settings) {
    thread_local char cause[96];
    const clip_format& format = writer.kind->format;
    if (writer.kind->needs_even_sides && ((settings.width | settings.height) & 1))
        return "H.264 needs an even width and height";
    const AVCodec* codec = avcodec_find_encoder_by_name(format.encoder);
    if (!codec) {
        std::snprintf(cause, sizeof cause, "this system's FFmpeg has no %s encoder",
                      format.encoder);
        return cause;
    }
    writer.path = utf8_from_utf16(path);
    writer.background = settings.background;
    const int result = start_clip(writer, codec, settings);
    return result < 0 ? text_of(result, cause, sizeof cause) : nullptr;
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
        result = av_interleaved_write_frame(writer.container.get(), writer.packet.get());
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
    if (!writer.kind->format.keeps_alpha) composite_over(*b, writer.background);
    const int result = av_frame_make_writable(writer.frame.get());
    if (result < 0) return fail(writer, result);
    if (!picture_copy(*writer.frame, *b, picture_way::into_frame, writer.scaler))
        return fail(writer, AVERROR(ENOMEM));
    writer.frame->pts = writer.next_pts++;
    return encode(writer, writer.frame.get());
}

bool finish_clip(clip_writer& writer) {
    if (*writer.problem || !encode(writer, nullptr)) return false;
    int result = av_write_trailer(writer.container.get());
    if (result >= 0) result = avio_closep(&writer.container->pb);
    return result >= 0 || fail(writer, result);
}

} // namespace

const clip_format* clip_format_for(const char16_t* path) {
    if (!path) return nullptr;
    for (const clip_kind& kind : kinds)
        if (ends_with(path, kind.format.extension)) return &kind.format;
    return nullptr;
}

clip_writer* clip_writer_open(const char16_t* path, const clip_format* format,
                              const clip_settings& settings, const char** problem) {
    ffmpeg_quiet();
    try {
        auto writer = std::make_unique<clip_writer>();
        writer->kind = kind_of(format);
        const char* cause =
            writer->kind ? start_writer(*writer, path, settings) : error_text(EINVAL);
        if (!cause) return writer.release();
        *problem = cause;
    } catch (const std::bad_alloc&) {
        *problem = error_text(ENOMEM);
    }
    return nullptr;
}

std::int32_t clip_writer_add(clip_writer* writer, image_handle_t canvas) {
    const bool added = writer && add_canvas(*writer, canvas);
    bitmap_delete(canvas);
    return added;
}

std::int32_t clip_writer_finish(clip_writer* writer) {
    if (!writer || !finish_clip(*writer)) return 0;
    writer->finished = true;
    return 1;
}

const char* clip_writer_problem(const clip_writer* writer) {
    return writer ? writer->problem : "";
}

void clip_writer_close(clip_writer* writer) {
    delete writer;
}

} // namespace korvel
