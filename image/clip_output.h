// Where the clip writer and the sound file writer put their container: a file, removed again
// unless the writing was finished, or standard output ("-"), where a reader that closes the pipe
// early ends the writing with a cause instead of the signal that would end the process.
#pragma once

#include "image/clip_format_table.h"

#include <memory>
#include <string>

struct AVFormatContext;

namespace korvel {

struct output_close {
    void operator()(AVFormatContext* container) const;
};

struct clip_output {
    std::string path; // UTF-8; empty for standard output
    std::unique_ptr<AVFormatContext, output_close> container;
    bool file_made = false;
    bool finished = false;
    ~clip_output();
};

// Why the format cannot be written at path, or null: "mp4 cannot be written onto a pipe (mkv,
// mov, nut or y4m can)" for "-" and a container that seeks back in what it wrote.
const char* output_refusal(const clip_format& format, const char16_t* path);

// Allocates the container of the format's muxer for path. FFmpeg's error, else 0.
int output_create(clip_output& output, const clip_format& format, const char16_t* path);

// Opens the file or the pipe and writes the container's header, with the format's pipe options
// on a pipe.
int output_start(clip_output& output, const clip_format& format);

// Writes the trailer and closes the file or flushes the pipe; the file then stays.
int output_finish(clip_output& output);

// The cause of an FFmpeg error met while writing the output, written into buffer when FFmpeg's
// own words are needed: the system's words, or for a pipe its reader's going away.
const char* output_problem(const clip_output& output, int averror, char* buffer, std::size_t size);

} // namespace korvel
