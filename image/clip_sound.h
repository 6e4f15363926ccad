// The sound of an input clip carried into what is written from it. The clip reader keeps the
// packets of the clip's first audio stream that it meets while it reads the pictures (a pipe can
// only be read once), and a clip writer or a sound file takes them as frames are written, so that
// few are held at a time. Output frame n (from 1) shows at (n - 1) / rate seconds and sounds as the
// input does from the moment `from` + (n - 1) / rate on: the sound is cut to the span of the
// frames written and kept in step with them.
#pragma once

#include "image/clip_formats.h"

#include <cstdint>

namespace korvel {

// A moment of the input clip: ticks of num / den seconds, as the clip reader gives the times of
// its frames. num 0 stands for the time of the clip's first picture.
struct clip_time {
    std::int64_t ticks = 0;
    std::int32_t num = 0;
    std::int32_t den = 1;
};

// The sound of one input clip, which clip_reader_sound gives. It lives as long as the reader or a
// writer that took it does, whichever is longer; reader and writers may run on different threads.
struct clip_sound;

// The sound's codec as FFmpeg names it ("aac"), for reports.
const char* clip_sound_codec(const clip_sound* sound);

// The kind of file that holds a sound alone which path's extension names, in any case: .wav
// (16-bit PCM), .flac, .m4a (AAC) or .opus. Null for any other name.
const clip_format* clip_sound_format_for(const char16_t* path);

// What clip_sound_format_for takes, for a message: ".wav, .flac, .m4a or .opus".
const char* clip_sound_format_names();

struct clip_sound_file;

// Creates the file at path (any name: its kind is format) for the sound of output frames shown
// at rate_num / rate_den per second. The sound is copied when the kind takes its codec, else
// re-encoded. Null when it cannot, with *problem set as clip_writer_open sets it.
clip_sound_file* clip_sound_file_open(const char16_t* path, const clip_format* format,
                                      clip_sound* sound, clip_time from, std::int32_t rate_num,
                                      std::int32_t rate_den, const char** problem);

// Writes the sound of the first `frames` output frames, as they are saved, so that the reader
// holds few packets. Non-zero on success; on failure clip_sound_file_problem says why.
std::int32_t clip_sound_file_reach(clip_sound_file* file, std::int64_t frames);

// Writes the sound of all `frames` output frames, reading the input on where its sound lags
// behind its pictures, and completes the file. Non-zero on success.
std::int32_t clip_sound_file_finish(clip_sound_file* file, std::int64_t frames);

// The cause of the first failure of reach or finish, "" when none.
const char* clip_sound_file_problem(const clip_sound_file* file);

// Frees the writer; the file stays only when finish succeeded. Null is ignored.
void clip_sound_file_close(clip_sound_file* file);

} // namespace korvel
