// The clip reader: libavformat finds the first video stream, libavcodec decodes it, and each
// frame becomes a bitmap as the PNG decoder would have made it.
#include "image/clip_reader.h"

#include "image/clip_frames.h"
#include "image/load_problem.h"
#include "runtime/utf.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>

namespace korvel {
namespace {

struct input_close {
    void operator()(AVFormatContext* container) const { avformat_close_input(&container); }
};

using input_ptr = std::unique_ptr<AVFormatContext, input_close>;

// The system's word when FFmpeg met a system error, else the file is of no kind FFmpeg knows.
void note_unreadable(int averror) {
    if (const int error = errno_of(averror))
        load_problem_note_errno(error);
    else
        load_problem_note("not a video or picture korvel can read");
}

// "file:" keeps a name with a colon from being taken for another of FFmpeg's protocols.
input_ptr open_input(const std::string& name) {
    AVFormatContext* opened = nullptr;
    const int result = avformat_open_input(&opened, ("file:" + name).c_str(), nullptr, nullptr);
    if (result < 0) note_unreadable(result);
    return input_ptr(opened);
}

// The first video stream that is not a cover picture, or -1.
int first_video_stream(const AVFormatContext& container) {
    for (unsigned i = 0; i < container.nb_streams; ++i) {
        const AVStream& stream = *container.streams[i];
        if (stream.codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
            !(stream.disposition & AV_DISPOSITION_ATTACHED_PIC))
            return static_cast<int>(i);
    }
    return -1;
}

// FFmpeg's own VP9 decoder drops the alpha that WebM clips carry beside the colour; libvpx's
// keeps it.
bool vp9_with_alpha(const AVStream& stream) {
    const AVDictionaryEntry* mode = av_dict_get(stream.metadata, "alpha_mode", nullptr, 0);
    return stream.codecpar->codec_id == AV_CODEC_ID_VP9 && mode &&
           std::strcmp(mode->value, "1") == 0;
}

bool format_has_alpha(int format) {
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(format));
    return d && (d->flags & AV_PIX_FMT_FLAG_ALPHA);
}

} // namespace

struct clip_reader {
    input_ptr container;
    int stream_index = -1;
    ffmpeg_ptr<AVCodecContext> decoder;
    ffmpeg_ptr<AVPacket> packet;
    ffmpeg_ptr<AVFrame> frame;
    ffmpeg_ptr<SwsContext> scaler;
    clip_facts facts;
    std::int64_t delivered = 0;
};

namespace {

// Opens the decoder with frame threads and settles the depth of the frames.
bool open_decoder(clip_reader& reader, std::int32_t threads) {
    const AVStream& stream = *reader.container->streams[reader.stream_index];
    const AVCodec* libvpx =
        vp9_with_alpha(stream) ? avcodec_find_decoder_by_name("libvpx-vp9") : nullptr;
    const AVCodec* codec = libvpx ? libvpx : avcodec_find_decoder(stream.codecpar->codec_id);
    if (!codec) {
        load_problem_note("no decoder for its video");
        return false;
    }
    reader.decoder.reset(avcodec_alloc_context3(codec));
    reader.packet.reset(av_packet_alloc());
    reader.frame.reset(av_frame_alloc());
    if (!reader.decoder || !reader.packet || !reader.frame ||
        avcodec_parameters_to_context(reader.decoder.get(), stream.codecpar) < 0) {
        load_problem_note("out of memory");
        return false;
    }
    reader.decoder->thread_count = threads;
    reader.decoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    const int result = avcodec_open2(reader.decoder.get(), codec, nullptr);
    if (result < 0) {
        load_problem_note(result == AVERROR(ENOMEM) ? "out of memory" : "damaged");
        return false;
    }
    // Some decoders only know their pixel format once they have a frame.
    const int format = reader.decoder->pix_fmt != AV_PIX_FMT_NONE ? reader.decoder->pix_fmt
                                                                  : stream.codecpar->format;
    reader.facts.depth = libvpx || format_has_alpha(format) ? 32 : 24;
    return true;
}

void read_facts(clip_reader& reader) {
    const AVStream& stream = *reader.container->streams[reader.stream_index];
    reader.facts.width = stream.codecpar->width;
    reader.facts.height = stream.codecpar->height;
    AVRational rate = stream.avg_frame_rate.num > 0 ? stream.avg_frame_rate : stream.r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = {0, 1};
    reader.facts.rate_num = rate.num;
    reader.facts.rate_den = rate.den;
}

// Containers that do not say how many frames they hold are read through once to count the
// stream's packets, then opened afresh to decode from the start: seeking back to the start is not
// something every container does exactly. A count is only as good as the read, so a file the
// demuxer found damaged on the way is refused.
bool count_frames(clip_reader& reader, const std::string& name) {
    const AVStream& stream = *reader.container->streams[reader.stream_index];
    reader.facts.frames = stream.nb_frames;
    if (reader.facts.frames > 0) return true;
    const std::uint64_t errors_before = ffmpeg_errors_logged();
    while (av_read_frame(reader.container.get(), reader.packet.get()) >= 0) {
        reader.facts.frames += reader.packet->stream_index == reader.stream_index;
        av_packet_unref(reader.packet.get());
    }
    if (ffmpeg_errors_logged() != errors_before) {
        load_problem_note("damaged");
        return false;
    }
    reader.container = open_input(name);
    return reader.container != nullptr;
}

bool open_clip(clip_reader& reader, const std::string& name, std::int32_t threads) {
    reader.container = open_input(name);
    if (!reader.container) return false;
    const int result = avformat_find_stream_info(reader.container.get(), nullptr);
    if (result < 0) {
        note_unreadable(result);
        return false;
    }
    reader.stream_index = first_video_stream(*reader.container);
    if (reader.stream_index < 0) {
        load_problem_note("no video stream");
        return false;
    }
    if (!open_decoder(reader, threads)) return false;
    read_facts(reader);
    return count_frames(reader, name);
}

// Feeds the decoder the stream's next packet, or tells it the stream has ended once the file holds
// no more: a read that fails ends the stream as well, and a count not reached says so.
int send_next_packet(clip_reader& reader) {
    while (av_read_frame(reader.container.get(), reader.packet.get()) >= 0) {
        const bool ours = reader.packet->stream_index == reader.stream_index;
        const int sent = ours ? avcodec_send_packet(reader.decoder.get(), reader.packet.get()) : 0;
        av_packet_unref(reader.packet.get());
        if (ours) return sent;
    }
    return avcodec_send_packet(reader.decoder.get(), nullptr);
}

// Decodes until a frame comes out: 0, AVERROR_EOF once the stream has no more, or the error.
int decode_frame(clip_reader& reader) {
    for (;;) {
        const int received = avcodec_receive_frame(reader.decoder.get(), reader.frame.get());
        if (received != AVERROR(EAGAIN)) return received;
        const int sent = send_next_packet(reader);
        if (sent < 0) return sent;
    }
}

// Why the decoder gave no frame: the stream ended before the counted frames, or it failed.
const char* decode_cause(int averror) {
    if (averror == AVERROR_EOF) return "cut short";
    return averror == AVERROR(ENOMEM) ? "out of memory" : "damaged";
}

image_handle_t bitmap_of_frame(clip_reader& reader) {
    AVFrame& frame = *reader.frame;
    const image_handle_t handle = bitmap_create(frame.width, frame.height, reader.facts.depth);
    const bitmap* b = bitmap_get(handle);
    if (!b) {
        load_problem_note("out of memory");
        return 0;
    }
    if (!picture_copy(frame, *b, picture_way::into_bitmap, reader.scaler)) {
        load_problem_note("damaged");
        bitmap_delete(handle);
        return 0;
    }
    return handle;
}

} // namespace

clip_reader* clip_reader_open(const char16_t* path, std::int32_t threads, clip_facts* facts) {
    load_problem_clear();
    ffmpeg_quiet();
    try {
        auto reader = std::make_unique<clip_reader>();
        if (!open_clip(*reader, utf8_from_utf16(path), threads)) return nullptr;
        *facts = reader->facts;
        return reader.release();
    } catch (const std::bad_alloc&) {
        load_problem_note("out of memory");
        return nullptr;
    }
}

image_handle_t clip_reader_next(clip_reader* reader) {
    if (!reader || reader->delivered >= reader->facts.frames) return 0;
    const int result = decode_frame(*reader);
    if (result < 0) {
        load_problem_note(decode_cause(result));
        return 0;
    }
    const image_handle_t handle = bitmap_of_frame(*reader);
    av_frame_unref(reader->frame.get());
    reader->delivered += handle != 0;
    return handle;
}

void clip_reader_close(clip_reader* reader) {
    delete reader;
}

} // namespace korvel
