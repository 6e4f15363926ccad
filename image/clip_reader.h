// Video files and streams as input frames: the first video stream of a clip, decoded in
// presentation order into bitmaps laid out as the PNG decoder lays them out, so that a frame of a
// clip is drawn exactly as the same picture saved as a PNG file of that colour type would be.
// Pictures stored sideways are turned upright as players show them, and the clip's first audio
// stream can be kept for a writer as the pictures are read.
#pragma once

#include "image/bitmap.h"
#include "image/clip_sound.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace korvel {

// The frame count of a stream that does not say how long it is (one read from a pipe).
inline constexpr std::int64_t CLIP_FRAMES_UNKNOWN = -1;

struct clip_facts {
    std::int32_t width = 0; // pixels of the pictures as shown (as stored with keep_orientation)
    std::int32_t height = 0;
    std::int64_t frames = 0;   // from the container, counted from a file, or CLIP_FRAMES_UNKNOWN
    std::int32_t depth = 0;    // 32 when the stream has alpha (frames are BGRA), else 24 (BGR)
    std::int32_t rate_num = 0; // frames per second as a fraction; 0/1 when the clip does not say
    std::int32_t rate_den = 1;
    std::int32_t time_num = 1; // the stream's time base: frame times count time_num / time_den s
    std::int32_t time_den = 1;
    std::int64_t start = 0;     // the stream's first time in its time base (0 when it does not say)
    std::int64_t duration = -1; // the stream's length in its time base; -1 when unknown
    std::int32_t turned = 0;    // 1 when the pictures are stored turned and are given upright
    std::int32_t has_sound = 0; // 1 when the clip has an audio stream
};

struct clip_read_options {
    std::int32_t threads = 0;       // decoder threads; 0: as many as there are processors
    bool keep_orientation = false;  // give the pictures as stored, however they are shown
    bool keep_sound = false;        // hold the first audio stream's packets for a writer: ask
                                    // only when one will take them, as held packets stay until
                                    // taken (past 256 MiB the writers fail)
    std::int64_t largest_frame = 0; // the most pixels a frame may have; 0: as many as fit the
                                    // 1 GiB pixel limit at 32 bits
    bool keep_times = false;        // read every frame's presentation time as the clip opens (a
                                    // file only: a stream's times come as it is read)
    std::string filter; // a filter graph in libavfilter's text that the decoded frames pass
                        // through; "" for none
};

// The most frames whose times a reader keeps (8 bytes each): a clip with more is refused.
inline constexpr std::int64_t CLIP_MOST_TIMES = std::int64_t{1} << 26;

struct clip_reader;

// Opens the clip at path ("-": the stream on standard input, read once as it comes) and reads its
// facts. Null when it cannot, with the cause noted as a load problem: the system's word when the
// file cannot be opened, "not a video or picture korvel can read", "no video stream", "no decoder
// for its video", "its frames are larger than korvel takes" (before any pixel memory is taken),
// "damaged" when a container that does not say how many frames it holds, or whose times are kept,
// proves damaged while they are counted, "more frames than korvel can time" past CLIP_MOST_TIMES
// when times are kept, FFmpeg's words when the options' filter graph cannot be set up for its
// frames. With a filter graph, the facts are those of what comes out of it (its pictures in the
// graph's output time base), and a file is decoded and filtered through once as it opens to count
// and time them. Any thread may open a clip of its own.
clip_reader* clip_reader_open_with(const char16_t* path, const clip_read_options& options,
                                   clip_facts* facts);

// The same with the default options and threads decoder threads.
clip_reader* clip_reader_open(const char16_t* path, std::int32_t threads, clip_facts* facts);

// The same for a clip held in memory, which must outlive the reader.
clip_reader* clip_reader_open_memory(const std::uint8_t* bytes, std::size_t size,
                                     const clip_read_options& options, clip_facts* facts);

// The next frame in presentation order as a bottom-up bitmap of the facts' depth (straight BGRA
// for 32, BGR for 24) at the frame's own size (which may change within a stream), the caller owning
// it, and its presentation time in the stream's time base (a frame without one follows the one
// before at the stream's rate). 0 after the last frame, or on a failure with the cause noted as a
// load problem: "cut short" when the stream ends before the counted frames, "damaged" when it
// cannot be decoded, "out of memory", "its frames are larger than korvel takes", "read past by
// its sound's writer" once a finishing writer read the clip on for its sound, "its frames change
// size or format, which its filter graph cannot follow". A stream of unknown
// length ends without a cause.
image_handle_t clip_reader_next_timed(clip_reader* reader, std::int64_t* time);

// The same without the time.
image_handle_t clip_reader_next(clip_reader* reader);

// Hands over the presentation times of all the frames of a clip opened to keep them, in
// presentation order and the stream's time base, as many as the facts' frames; none otherwise, or
// once handed over. A packet without a time follows the one before at the stream's rate. *end is
// when the last frame stops showing: after its own duration, else at the stream's end, else as
// long after it as the frame before lasts.
std::vector<std::int64_t> clip_reader_take_times(clip_reader* reader, std::int64_t* end);

// The clip's first audio stream, kept since the reader opened when it was asked to keep sound;
// null otherwise or when the clip has none. It stays the reader's; writers take a share of it.
clip_sound* clip_reader_sound(clip_reader* reader);

// Frees the reader and everything it holds; null is ignored. Writers holding its sound keep
// what the reader met and take no more.
void clip_reader_close(clip_reader* reader);

} // namespace korvel
