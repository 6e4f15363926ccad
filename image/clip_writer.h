// Output frames written as one clip instead of numbered PNG files. The kind of clip follows the
// file name's extension; the lossless kinds give back, decoded, exactly the frames the PNG files
// would hold.
#pragma once

#include "image/bitmap.h"

#include <cstdint>

namespace korvel {

// One kind of clip, chosen by extension: ".mkv" FFV1 with alpha, ".mov" QuickTime with the PNG
// codec, ".webm" VP9 with alpha, ".mp4" H.264 in 4:2:0 without alpha.
struct clip_format {
    const char* extension;    // ".mkv"
    const char* muxer;        // FFmpeg's short name of the container ("matroska")
    const char* encoder;      // FFmpeg's name of the video encoder ("ffv1")
    std::int32_t keeps_alpha; // 0: frames are composited over the background first
};

// The kind asked for by path's extension (any case), or null when it names no clip kind.
const clip_format* clip_format_for(const char16_t* path);

struct clip_settings {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t rate_num = 25; // frames per second as a fraction
    std::int32_t rate_den = 1;
    std::uint32_t background = 0; // 0xRRGGBB under frames of a kind without alpha
    std::int32_t threads = 0;     // encoder threads; 0 lets the encoder choose
};

struct clip_writer;

// Creates the file at path (any name: the container comes from format, not from path) and opens
// the encoder. Null when it cannot, with *problem set to a text that stays valid at least until
// the thread's next open: the system's word ("Permission denied"), "this system's FFmpeg has no
// libx264 encoder", "H.264 needs an even width and height", else FFmpeg's own.
clip_writer* clip_writer_open(const char16_t* path, const clip_format* format,
                              const clip_settings& settings, const char** problem);

// Encodes the 32-bit canvas (bottom-up straight BGRA of the settings' size) as the next frame and
// frees it, whatever the outcome. Non-zero on success; on failure clip_writer_problem says why.
std::int32_t clip_writer_add(clip_writer* writer, image_handle_t canvas);

// Drains the encoder and completes the file. Non-zero on success.
std::int32_t clip_writer_finish(clip_writer* writer);

// The cause of the first failure of add or finish, "" when none.
const char* clip_writer_problem(const clip_writer* writer);

// Frees the writer; the file stays only when finish succeeded, else it is removed. Null is
// ignored.
void clip_writer_close(clip_writer* writer);

} // namespace korvel
