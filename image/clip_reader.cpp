// The clip reader: libavformat finds the first video stream, libavcodec decodes it, and each
// frame becomes a bitmap as the PNG decoder would have made it, turned upright when the stream
// says it is shown turned. Audio packets met on the way are kept for a writer when asked.
#include "image/clip_reader.h"

#include "image/clip_filter.h"
#include "image/clip_frames.h"
#include "image/clip_input.h"
#include "image/clip_orientation.h"
#include "image/clip_sound_queue.h"
#include "image/clip_times.h"
#include "image/load_problem.h"
#include "image/pixel_budget.h"
#include "runtime/utf.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace korvel {
namespace {

constexpr const char* TOO_LARGE = "its frames are larger than korvel takes";
constexpr std::int32_t LARGEST_SIDE = 32767;

// The system's word when FFmpeg met a system error, else the file is of no kind FFmpeg knows.
void note_unreadable(int averror) {
    if (const int error = errno_of(averror))
        load_problem_note_errno(error);
    else
        load_problem_note("not a video or picture korvel can read");
}

// The first stream of the type that is not a cover picture, or -1.
int first_stream(const AVFormatContext& container, AVMediaType type) {
    for (unsigned i = 0; i < container.nb_streams; ++i) {
        const AVStream& stream = *container.streams[i];
        if (stream.codecpar->codec_type == type &&
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
    clip_origin origin;
    clip_read_options options;
    std::mutex demux; // the container and what follows it here, shared with a writer's sound
    input_ptr container;
    int stream_index = -1;
    int sound_index = -1;
    std::int64_t sound_reached = INT64_MIN; // the latest start of a sound packet kept
    bool read_past = false;                 // a writer read on for its sound, past pictures
    std::shared_ptr<clip_sound> sound;

    ffmpeg_ptr<AVCodecContext> decoder;
    ffmpeg_ptr<AVPacket> packet;
    ffmpeg_ptr<AVFrame> frame;
    ffmpeg_ptr<SwsContext> scaler;
    orientation turn;
    clip_facts facts;
    std::int64_t delivered = 0;
    std::int64_t next_time = 0;          // where a frame without a time is shown
    std::int64_t input_ticks = 1;        // a frame's length at the stream's rate, in its time base
    clip_times times;                    // every frame's, when the options keep them
    std::unique_ptr<clip_filter> filter; // the options' graph, when they have one
    std::int64_t filtered_next = 0;      // where a frame out of it without a time is shown

    ~clip_reader() {
        if (!sound) return;
        {
            std::lock_guard reading(sound->reading_lock);
            sound->read_on = nullptr;
        }
        sound_end(*sound);
    }
};

namespace {

std::int64_t largest_frame(const clip_read_options& options) {
    return options.largest_frame > 0 ? options.largest_frame : LARGEST_PIXEL_BYTES / 4;
}

// One frame's length at the stream's rate in its time base; 1 when it has no rate.
std::int64_t frame_ticks(const clip_facts& facts) {
    const AVRational base{facts.time_num, facts.time_den};
    const AVRational rate{facts.rate_num, facts.rate_den};
    return rate.num > 0 ? av_rescale_q(1, av_inv_q(rate), base) : 1;
}

// Whether a picture of that size may be made at all: checked before any pixel memory is taken.
bool size_allowed(const clip_reader& reader, std::int64_t width, std::int64_t height) {
    return width <= LARGEST_SIDE && height <= LARGEST_SIDE &&
           pixel_memory_allowed(std::int64_t{row_bytes(static_cast<std::int32_t>(width), 32)},
                                height) &&
           width * height <= largest_frame(reader.options);
}

// Keeps a sound packet met while reading; the caller holds the demuxer's lock.
void keep_if_sound(clip_reader& reader, AVPacket& packet) {
    if (!reader.sound || packet.stream_index != reader.sound_index) return;
    sound_hold(*reader.sound, packet);
    if (packet.pts != AV_NOPTS_VALUE)
        reader.sound_reached = std::max(reader.sound_reached, packet.pts);
}

// The next packet of the picture stream, keeping sound packets on the way; FFmpeg's error or
// AVERROR_EOF at the end, which ends the sound too.
int read_picture_packet(clip_reader& reader) {
    std::lock_guard lock(reader.demux);
    if (reader.read_past) return AVERROR_EOF;
    for (;;) {
        const int result = av_read_frame(reader.container.get(), reader.packet.get());
        if (result < 0) {
            if (reader.sound) sound_end(*reader.sound);
            return result;
        }
        if (reader.packet->stream_index == reader.stream_index) return 0;
        keep_if_sound(reader, *reader.packet);
        av_packet_unref(reader.packet.get());
    }
}

// A finishing writer's reading on for sound: pictures met are dropped, so the reader gives no
// frame after it.
void read_on_for_sound(void* state, std::int64_t tick) {
    auto& reader = *static_cast<clip_reader*>(state);
    std::lock_guard lock(reader.demux);
    ffmpeg_ptr<AVPacket> packet(av_packet_alloc());
    while (packet && reader.sound_reached < tick) {
        if (av_read_frame(reader.container.get(), packet.get()) < 0) break;
        reader.read_past = reader.read_past || packet->stream_index == reader.stream_index;
        keep_if_sound(reader, *packet);
        av_packet_unref(packet.get());
    }
    if (reader.sound_reached < tick) sound_end(*reader.sound);
}

bool keep_sound(clip_reader& reader) {
    reader.sound_index = first_stream(*reader.container, AVMEDIA_TYPE_AUDIO);
    reader.facts.has_sound = reader.sound_index >= 0;
    if (!reader.options.keep_sound || reader.sound_index < 0) return true;
    const AVStream& stream = *reader.container->streams[reader.sound_index];
    auto sound = std::make_shared<clip_sound>();
    sound->parameters.reset(avcodec_parameters_alloc());
    if (!sound->parameters || avcodec_parameters_copy(sound->parameters.get(), stream.codecpar) < 0)
        return false;
    sound->time_base = stream.time_base;
    const AVRational picture_base{reader.facts.time_num, reader.facts.time_den};
    sound->first_picture = av_rescale_q(reader.facts.start, picture_base, stream.time_base);
    sound->read_on = read_on_for_sound;
    sound->reader = &reader;
    reader.sound = std::move(sound);
    return true;
}

// Opens the decoder with frame threads and settles the depth of the frames.
bool open_decoder(clip_reader& reader) {
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
    reader.decoder->thread_count = reader.options.threads;
    reader.decoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    reader.decoder->max_pixels = largest_frame(reader.options);
    reader.decoder->pkt_timebase = stream.time_base;
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

void read_orientation(clip_reader& reader, const AVStream& stream) {
    std::size_t size = 0;
    const auto* matrix = reinterpret_cast<const std::int32_t*>(
        av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, &size));
    if (!reader.options.keep_orientation && size >= 9 * sizeof(std::int32_t))
        reader.turn = orientation_of(matrix);
    reader.facts.turned = !is_upright(reader.turn);
    if (swaps_sides(reader.turn)) std::swap(reader.facts.width, reader.facts.height);
}

std::int64_t stream_start(const AVStream& stream) {
    return stream.start_time != AV_NOPTS_VALUE ? stream.start_time : 0;
}

// Times as the stream counts them; a length from the container when the stream does not say.
void read_facts(clip_reader& reader) {
    const AVStream& stream = *reader.container->streams[reader.stream_index];
    clip_facts& facts = reader.facts;
    facts.width = stream.codecpar->width;
    facts.height = stream.codecpar->height;
    AVRational rate = stream.avg_frame_rate.num > 0 ? stream.avg_frame_rate : stream.r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = {0, 1};
    facts.rate_num = rate.num;
    facts.rate_den = rate.den;
    facts.time_num = stream.time_base.num;
    facts.time_den = stream.time_base.den;
    facts.start = stream_start(stream);
    reader.next_time = facts.start;
    reader.input_ticks = frame_ticks(facts);
    const std::int64_t whole = reader.container->duration;
    facts.duration = stream.duration != AV_NOPTS_VALUE ? stream.duration
                     : whole != AV_NOPTS_VALUE
                         ? av_rescale_q(whole, AVRational{1, AV_TIME_BASE}, stream.time_base)
                         : -1;
    read_orientation(reader, stream);
}

bool reopen(clip_reader& reader) {
    reader.container.reset();
    const int result = open_input(reader.origin, reader.container);
    if (result < 0) note_unreadable(result);
    return result >= 0;
}

// A pass over the stream's packets, without decoding: their count, and their times when they are
// kept; false with the cause noted. A count is only as good as the read, so a file the demuxer
// found damaged on the way is refused.
bool read_packets(clip_reader& reader, bool timed) {
    const std::uint64_t errors_before = ffmpeg_errors_logged();
    const std::int64_t frame_length = frame_ticks(reader.facts);
    reader.facts.frames = 0;
    while (av_read_frame(reader.container.get(), reader.packet.get()) >= 0) {
        const AVPacket& packet = *reader.packet;
        const bool picture = packet.stream_index == reader.stream_index;
        const bool noted =
            !picture || !timed || clip_times_note(reader.times, packet, frame_length);
        reader.facts.frames += picture;
        av_packet_unref(reader.packet.get());
        if (!noted) {
            load_problem_note("more frames than korvel can time");
            return false;
        }
    }
    const clip_facts& facts = reader.facts;
    const std::int64_t stream_end = facts.duration >= 0 ? facts.start + facts.duration : -1;
    if (ffmpeg_errors_logged() != errors_before ||
        (timed && !clip_times_settle(reader.times, stream_end, frame_length))) {
        load_problem_note("damaged");
        return false;
    }
    return true;
}

// Containers that do not say how many frames they hold, and clips whose times are kept, are read
// through once, then opened afresh to decode from the start: seeking back to the start is not
// something every container does exactly. A stream on standard input can only be read once.
bool count_frames(clip_reader& reader) {
    const AVStream& stream = *reader.container->streams[reader.stream_index];
    reader.facts.frames = stream.nb_frames;
    const bool timed = reader.options.keep_times;
    if (reader.facts.frames > 0 && !timed) return true;
    if (reader.origin.standard_input) {
        reader.facts.frames = CLIP_FRAMES_UNKNOWN;
        return true;
    }
    return read_packets(reader, timed) && reopen(reader);
}

int next_picture(clip_reader& reader, std::int64_t* time);
const char* decode_cause(const clip_reader& reader, int averror);

// The decoder's frames as the stream gives them, before any has been decoded.
filter_input graph_input(const clip_reader& reader) {
    const AVStream& stream = *reader.container->streams[reader.stream_index];
    const AVCodecParameters& stored = *stream.codecpar;
    const int format =
        reader.decoder->pix_fmt != AV_PIX_FMT_NONE ? reader.decoder->pix_fmt : stored.format;
    const AVRational aspect = stored.sample_aspect_ratio;
    const bool square = aspect.num <= 0 || aspect.den <= 0;
    return {stored.width,          stored.height,           format,
            stream.time_base.num,  stream.time_base.den,    reader.facts.rate_num,
            reader.facts.rate_den, square ? 1 : aspect.num, square ? 1 : aspect.den};
}

// The facts of what comes out of the graph: its pictures, turned as shown, in its time base.
bool take_output_facts(clip_reader& reader) {
    const filter_output out = clip_filter_output(*reader.filter);
    clip_facts& facts = reader.facts;
    const AVRational from{facts.time_num, facts.time_den}, to{out.time_num, out.time_den};
    facts.start = av_rescale_q(facts.start, from, to);
    facts.duration = -1;
    facts.width = swaps_sides(reader.turn) ? out.height : out.width;
    facts.height = swaps_sides(reader.turn) ? out.width : out.height;
    facts.depth = format_has_alpha(out.format) ? 32 : 24;
    facts.time_num = out.time_num;
    facts.time_den = out.time_den;
    if (out.rate_num > 0) {
        facts.rate_num = out.rate_num;
        facts.rate_den = out.rate_den;
    }
    reader.filtered_next = facts.start;
    if (size_allowed(reader, out.width, out.height)) return true;
    load_problem_note(TOO_LARGE);
    return false;
}

bool build_filter(clip_reader& reader, const filter_input& input) {
    const char* problem = clip_filter_build(*reader.filter, reader.options.filter, input);
    if (problem) load_problem_note(problem);
    return !problem;
}

// Back to the first frame for the render, after a pass through the whole clip.
bool restart(clip_reader& reader) {
    if (!reopen(reader)) return false;
    avcodec_flush_buffers(reader.decoder.get());
    reader.next_time = stream_start(*reader.container->streams[reader.stream_index]);
    reader.filtered_next = reader.facts.start;
    return build_filter(reader, reader.filter->input);
}

// How many frames come out of the graph, and when, is only known once it has run: a file is
// decoded and filtered through once, keeping the times when asked, and opened afresh. A graph's
// last frame lasts as long as the one before it: the durations frames carry out of a graph are
// not always in its output's time base. As with a count of packets, a file the demuxer or decoder
// found damaged on the way is refused. A stream can only be read once; its count stays unknown.
bool filter_through(clip_reader& reader) {
    reader.facts.frames = CLIP_FRAMES_UNKNOWN;
    if (reader.origin.standard_input) return true;
    const std::uint64_t errors_before = ffmpeg_errors_logged();
    const bool timed = reader.options.keep_times;
    std::int64_t frames = 0, time = 0;
    int result = 0;
    while ((result = next_picture(reader, &time)) >= 0) {
        av_frame_unref(reader.frame.get());
        if (frames++ == 0) reader.facts.start = time;
        if (!timed) continue;
        if (frames > CLIP_MOST_TIMES) {
            load_problem_note("more frames than korvel can time");
            return false;
        }
        reader.times.times.push_back(time);
    }
    if (result != AVERROR_EOF) {
        load_problem_note(decode_cause(reader, result));
        return false;
    }
    reader.facts.frames = frames;
    if (ffmpeg_errors_logged() != errors_before ||
        (timed && !clip_times_settle(reader.times, -1, frame_ticks(reader.facts)))) {
        load_problem_note("damaged");
        return false;
    }
    if (timed && frames > 0) reader.facts.duration = reader.times.end - reader.facts.start;
    return restart(reader);
}

// The graph is built for the frames the stream says it holds, and rebuilt for the first decoded
// frame when that differs.
bool open_filter(clip_reader& reader) {
    reader.filter = std::make_unique<clip_filter>();
    const filter_input input = graph_input(reader);
    if (input.format < 0) {
        load_problem_note("damaged");
        return false;
    }
    return build_filter(reader, input) && take_output_facts(reader) && filter_through(reader);
}

bool open_clip(clip_reader& reader) {
    const int result = open_input(reader.origin, reader.container);
    if (result < 0) {
        note_unreadable(result);
        return false;
    }
    reader.stream_index = first_stream(*reader.container, AVMEDIA_TYPE_VIDEO);
    if (reader.stream_index < 0) {
        load_problem_note("no video stream");
        return false;
    }
    const AVCodecParameters& stored = *reader.container->streams[reader.stream_index]->codecpar;
    if (!size_allowed(reader, stored.width, stored.height)) {
        load_problem_note(TOO_LARGE);
        return false;
    }
    if (!open_decoder(reader)) return false;
    read_facts(reader);
    if (!(reader.options.filter.empty() ? count_frames(reader) : open_filter(reader))) return false;
    if (keep_sound(reader)) return true;
    load_problem_note("out of memory");
    return false;
}

clip_reader* open_reader(clip_origin origin, const clip_read_options& options, clip_facts* facts) {
    load_problem_clear();
    ffmpeg_quiet();
    try {
        auto reader = std::make_unique<clip_reader>();
        reader->origin = std::move(origin);
        reader->options = options;
        if (!open_clip(*reader)) return nullptr;
        *facts = reader->facts;
        return reader.release();
    } catch (const std::bad_alloc&) {
        load_problem_note("out of memory");
        return nullptr;
    }
}

// Feeds the decoder the stream's next packet, or tells it the stream has ended once the input
// holds no more: a read that fails ends the stream as well, and a count not reached says so.
int send_next_packet(clip_reader& reader) {
    if (read_picture_packet(reader) < 0) return avcodec_send_packet(reader.decoder.get(), nullptr);
    const int sent = avcodec_send_packet(reader.decoder.get(), reader.packet.get());
    av_packet_unref(reader.packet.get());
    return sent;
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
const char* decode_cause(const clip_reader& reader, int averror) {
    if (averror == AVERROR_EOF) {
        if (reader.read_past) return "read past by its sound's writer";
        return reader.facts.frames == CLIP_FRAMES_UNKNOWN ? nullptr : "cut short";
    }
    if (averror == AVERROR_INPUT_CHANGED)
        return "its frames change size or format, which its filter graph cannot follow";
    return averror == AVERROR(ENOMEM) ? "out of memory" : "damaged";
}

image_handle_t bitmap_of_frame(clip_reader& reader) {
    AVFrame& frame = *reader.frame;
    if (!size_allowed(reader, frame.width, frame.height)) {
        load_problem_note(TOO_LARGE);
        return 0;
    }
    image_handle_t handle = bitmap_create(frame.width, frame.height, reader.facts.depth);
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
    if (!is_upright(reader.turn) && !(handle = turned_upright(handle, reader.turn)))
        load_problem_note("out of memory");
    return handle;
}

// The time given, or next; next becomes the time after it by duration, else by ticks.
std::int64_t time_or_next(std::int64_t given, std::int64_t duration, std::int64_t ticks,
                          std::int64_t& next) {
    const std::int64_t time = given != AV_NOPTS_VALUE ? given : next;
    next = time + (duration > 0 ? duration : ticks);
    return time;
}

// The frame's time, or the one after the frame before at the stream's rate.
std::int64_t frame_time(clip_reader& reader) {
    const AVFrame& frame = *reader.frame;
    return time_or_next(frame.best_effort_timestamp, frame.pkt_duration, reader.input_ticks,
                        reader.next_time);
}

// Feeds the graph decoded frames, timed, until a frame comes out of it into reader.frame: 0 with
// its time in the graph's output time base, AVERROR_EOF after the last, or the error.
int filtered_frame(clip_reader& reader, std::int64_t* time) {
    clip_filter& filter = *reader.filter;
    AVFrame& frame = *reader.frame;
    for (;;) {
        const int received = clip_filter_receive(filter, frame);
        if (received >= 0)
            *time = time_or_next(frame.pts, 0, frame_ticks(reader.facts), reader.filtered_next);
        if (received != AVERROR(EAGAIN)) return received;
        const int decoded = decode_frame(reader);
        if (decoded < 0 && decoded != AVERROR_EOF) return decoded;
        if (decoded >= 0) frame.pts = frame_time(reader);
        const int sent = decoded >= 0 ? clip_filter_send(filter, reader.options.filter, frame)
                                      : clip_filter_end(filter, reader.next_time);
        av_frame_unref(&frame);
        if (sent < 0) return sent;
    }
}

int next_picture(clip_reader& reader, std::int64_t* time) {
    if (reader.filter) return filtered_frame(reader, time);
    const int result = decode_frame(reader);
    if (result >= 0) *time = frame_time(reader);
    return result;
}

} // namespace

clip_reader* clip_reader_open_with(const char16_t* path, const clip_read_options& options,
                                   clip_facts* facts) {
    clip_origin origin;
    origin.standard_input = path && path[0] == u'-' && path[1] == 0;
    if (!origin.standard_input) origin.name = utf8_from_utf16(path);
    return open_reader(std::move(origin), options, facts);
}

clip_reader* clip_reader_open(const char16_t* path, std::int32_t threads, clip_facts* facts) {
    clip_read_options options;
    options.threads = threads;
    return clip_reader_open_with(path, options, facts);
}

clip_reader* clip_reader_open_memory(const std::uint8_t* bytes, std::size_t size,
                                     const clip_read_options& options, clip_facts* facts) {
    clip_origin origin;
    origin.bytes = bytes;
    origin.size = size;
    return open_reader(std::move(origin), options, facts);
}

image_handle_t clip_reader_next_timed(clip_reader* reader, std::int64_t* time) {
    if (!reader ||
        (reader->facts.frames != CLIP_FRAMES_UNKNOWN && reader->delivered >= reader->facts.frames))
        return 0;
    const int result = next_picture(*reader, time);
    if (result < 0) {
        if (const char* cause = decode_cause(*reader, result)) load_problem_note(cause);
        return 0;
    }
    const image_handle_t handle = bitmap_of_frame(*reader);
    av_frame_unref(reader->frame.get());
    reader->delivered += handle != 0;
    return handle;
}

image_handle_t clip_reader_next(clip_reader* reader) {
    std::int64_t time = 0;
    return clip_reader_next_timed(reader, &time);
}

std::vector<std::int64_t> clip_reader_take_times(clip_reader* reader, std::int64_t* end) {
    *end = reader ? reader->times.end : 0;
    return reader ? std::move(reader->times.times) : std::vector<std::int64_t>();
}

clip_sound* clip_reader_sound(clip_reader* reader) {
    return reader ? reader->sound.get() : nullptr;
}

void clip_reader_close(clip_reader* reader) {
    delete reader;
}

} // namespace korvel
