// The record behind clip_sound: the audio packets the reader met and no writer took yet, shared
// between the reader's thread and the writer's under a lock, and the reader's means of reading on
// when a finishing writer needs sound that lies in the clip beyond the last picture read.
#pragma once

#include "image/clip_frames.h"
#include "image/clip_sound.h"

extern "C" {
#include <libavcodec/codec_par.h>
#include <libavutil/error.h>
#include <libavutil/rational.h>
}

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

namespace korvel {

// The error of a writer whose sound the reader dropped, having held too much that none took.
inline constexpr int SOUND_FELL_BEHIND = FFERRTAG('K', 'S', 'N', 'D');

struct codec_parameters_free {
    void operator()(AVCodecParameters* parameters) const;
};

// Reads the input on until the sound holds a packet that starts at or after the tick, or the
// input ends. Called with the reader's state, from a writer's thread.
using sound_read_on = void (*)(void* reader, std::int64_t tick);

struct clip_sound : std::enable_shared_from_this<clip_sound> {
    // Fixed once the reader has opened the clip.
    std::unique_ptr<AVCodecParameters, codec_parameters_free> parameters;
    AVRational time_base{1, 1};
    std::int64_t first_picture = 0; // the picture stream's first time in the sound's time base

    std::mutex lock; // what follows, up to the reading on
    std::deque<ffmpeg_ptr<AVPacket>> packets;
    std::int64_t held_bytes = 0;
    std::int64_t next_tick = 0; // where a packet without a time starts
    bool ended = false;         // no packet comes any more
    bool overflowed = false;    // packets were dropped, as none were taken

    std::mutex reading_lock; // the reader's means of reading on, cleared as it closes
    sound_read_on read_on = nullptr;
    void* reader = nullptr;
};

// The reader's: keeps the packet, its time made up from the one before when it has none. Once
// 256 MiB are held no more are kept, and the writers that take the sound fail.
void sound_hold(clip_sound& sound, AVPacket& packet);

// The reader's: no more packets will come.
void sound_end(clip_sound& sound);

// Moves the next packet held into packet when it is due before the tick: when its middle lies
// before it, or by_middle false, its start. Overflowed once packets were dropped untaken.
enum class sound_take_result { packet, none_yet, ended, overflowed };
sound_take_result sound_take(clip_sound& sound, std::int64_t tick, bool by_middle,
                             ffmpeg_ptr<AVPacket>& packet);

// Has the reader read on until a packet at or after the tick is held, or the input ended.
void sound_read_until(clip_sound& sound, std::int64_t tick);

// The tick in the sound's time base where a moment given in time falls.
std::int64_t sound_tick(const clip_sound& sound, clip_time time);

} // namespace korvel
