// The sound of an input going into an output container, beside its pictures or alone: packets
// copied with their times moved to the span's start when the container takes the codec, else
// re-encoded; either way cut to the span of the frames written, so that output frame n sounds as
// the input did from the span's start + (n - 1) frames on.
#pragma once

#include "image/clip_format_table.h"
#include "image/clip_frames.h"
#include "image/clip_sound.h"
#include "image/clip_sound_recoder.h"

extern "C" {
#include <libavutil/rational.h>
}

#include <memory>

struct AVFormatContext;
struct AVStream;

namespace korvel {

struct sound_track {
    std::shared_ptr<clip_sound> sound;
    AVFormatContext* container = nullptr;
    AVStream* stream = nullptr;
    std::int64_t from_tick = 0;   // the span's start in the sound's time base
    AVRational frame_time{1, 25}; // seconds per output frame
    recoder_ptr recoder;          // null: packets are copied
    ffmpeg_ptr<AVPacket> packet;
};

// Adds the sound's stream to the container, before its header, for output frames shown at rate
// per second. FFmpeg's error, else 0; *cause names a codec the system lacks.
int sound_track_add(sound_track& track, AVFormatContext& container, const sound_rule& rule,
                    clip_sound& sound, clip_time from, AVRational rate, const char** cause);

// Writes the sound of the first `frames` output frames that the reader has met.
int sound_track_write(sound_track& track, std::int64_t frames);

// Has the reader read on to the end of the span of `frames` output frames, writes the rest of
// their sound and drains the encoder.
int sound_track_finish(sound_track& track, std::int64_t frames);

} // namespace korvel
