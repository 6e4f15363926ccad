// Output frames written as one clip instead of numbered PNG files, into a file or onto standard
// output, with the input's sound when asked. The lossless kinds give back, decoded, exactly the
// frames the PNG files would hold; YUV kinds are tagged with the colour they were converted in:
// BT.709 for frames of 720 rows or more, else BT.601, as players assume.
#pragma once

#include "image/bitmap.h"
#include "image/clip_formats.h"
#include "image/clip_sound.h"

#include <cstdint>

namespace korvel {

struct clip_settings {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t rate_num = 25; // frames per second as a fraction
    std::int32_t rate_den = 1;
    std::uint32_t background = 0; // 0xRRGGBB under frames of a codec without alpha
    std::int32_t threads = 0;     // encoder threads; 0 lets the encoder choose
};

// What goes into the clip besides the frames' size and rate.
struct clip_choices {
    clip_encoding encoding;      // checked with clip_encoding_problem beforehand
    clip_sound* sound = nullptr; // the input's sound to carry along, or null
    clip_time sound_from;        // where in the input the first output frame's sound begins
};

struct clip_writer;

// Creates the file at path (any name: the container is format's), or writes onto standard output
// when path is "-", and opens the encoder. Null when it cannot, with *problem set to a text that
// stays valid at least until the thread's next open: the system's word ("Permission denied"),
// what clip_encoding_problem says, "mp4 cannot be written onto a pipe (mkv, mov, nut or y4m
// can)", "H.264 needs an even width and height", "libsvtav1 needs
// frames of at least 64 pixels each way", "this system's FFmpeg has no libopus encoder", else
// FFmpeg's own. Nothing is left behind on failure. A container that carries no sound (y4m)
// leaves the sound out.
clip_writer* clip_writer_open_with(const char16_t* path, const clip_format* format,
                                   const clip_settings& settings, const clip_choices& choices,
                                   const char** problem);

// The same with the format's default codec and settings, without sound.
clip_writer* clip_writer_open(const char16_t* path, const clip_format* format,
                              const clip_settings& settings, const char** problem);

// Encodes the 32-bit canvas (bottom-up straight BGRA of the settings' size) as the next frame and
// frees it, whatever the outcome, then writes the sound of the frames so far that the reader has
// met. Non-zero on success; on failure clip_writer_problem says why.
std::int32_t clip_writer_add(clip_writer* writer, image_handle_t canvas);

// Drains the encoder, writes the rest of the sound (reading the input on past its last picture
// where the sound lags behind; the reader then gives no more frames) and completes the clip.
// Non-zero on success.
std::int32_t clip_writer_finish(clip_writer* writer);

// The cause of the first failure of add or finish, "" when none. On a pipe whose reader went away:
// "the reader of standard output stopped reading (Broken pipe)".
const char* clip_writer_problem(const clip_writer* writer);

// Frees the writer; a file stays only when finish succeeded, else it is removed. Null is ignored.
void clip_writer_close(clip_writer* writer);

} // namespace korvel
