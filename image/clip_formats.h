// The kinds of clip korvel writes: containers named by a file's extension or, on a pipe, by name;
// the codecs each takes; and the check of a choice of codec, quality and speed, made before
// anything is written.
#pragma once

#include <cstdint>

namespace korvel {

// One kind of container with the codecs it takes.
struct clip_format;

// The container that path's extension names, in any case: .mp4, .mkv, .mov, .webm, .nut or .y4m.
// Null for any other name.
const clip_format* clip_format_for(const char16_t* path);

// The container that a stream on standard output is written in, by its short name: "nut", "y4m",
// "mkv" or "mov" (the others need to seek back in what they wrote). Null for any other name.
const clip_format* clip_pipe_format(const char* name);

// What clip_pipe_format takes, for a message: "mkv, mov, nut or y4m".
const char* clip_pipe_format_names();

// The format's short name ("mp4").
const char* clip_format_name(const clip_format* format);

// The codecs of the format that this system's FFmpeg can write, its default first when it can:
// "h264, hevc, av1". "" when it can write none of them.
const char* clip_format_codecs(const clip_format* format);

// How the pictures are encoded.
struct clip_encoding {
    const char* codec = nullptr;  // "hevc"; null or "" for the format's default
    std::int32_t crf = -1;        // constant quality, lower is better; -1 for the codec's default
    const char* preset = nullptr; // the encoder's speed ("slow", "8"); null or "" for its default
};

// "" when this system can write the format with the encoding; else one line that says what it
// can take, such as ".webm takes vp9 or av1", "this system's FFmpeg has no libx265 encoder (for
// hevc)", "libx264 takes --crf 0 to 51" or "ffv1 takes no --crf (--crf goes to h264, hevc, av1)".
// The text stays valid until the thread's next check. Nothing is opened or written.
const char* clip_encoding_problem(const clip_format* format, const clip_encoding& encoding);

} // namespace korvel
