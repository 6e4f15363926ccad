// The records behind clip_format, which the clip writer and the sound writers read: each
// container's muxer and codecs, each codec's encoders in order of preference, and how constant
// quality and speed reach each encoder.
#pragma once

#include "image/clip_formats.h"

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/pixfmt.h>
}

namespace korvel {

// How --crf or --preset reaches an encoder: an option taking whole numbers from low to high, or one
// of the names listed (null-ended). No option: the encoder takes no such setting.
struct encoder_knob {
    const char* option = nullptr;
    std::int32_t low = 0, high = 0;
    const char* const* names = nullptr;
};

struct encoder_kind {
    const char* name; // FFmpeg's encoder
    AVPixelFormat pixels;
    const char* options; // fixed ones and defaults, in the form av_dict_parse_string reads
    encoder_knob crf, preset;
    bool keeps_alpha;
    bool needs_even_sides;      // 4:2:0 without half chroma samples
    std::int32_t smallest_side; // the least width and height it encodes
};

struct codec_kind {
    const char* name;                    // as --codec names it
    const char* title;                   // as people write it: "H.264"
    const encoder_kind* const* encoders; // null-ended, the first this system has is used
    const char* iso_tag; // the sample entry players expect in .mp4 and .mov, or null
};

// How the sound of an input goes into a container: copied when the container takes its codec
// (copies lists them, AV_CODEC_ID_NONE-ended; null lets the muxer judge), else re-encoded.
struct sound_rule {
    const char* encoder; // null: the container carries no sound
    const AVCodecID* copies;
};

struct clip_format {
    const char* name;
    const char* extension;
    const char* muxer;
    const codec_kind* const* codecs; // null-ended, the default first; null for sound alone
    const char* pipe_options;        // the muxer's options on a pipe; null: not for pipes
    sound_rule sound;
};

// The first encoder of the codec that this system's FFmpeg has, or null.
const encoder_kind* available_encoder(const codec_kind& codec);

// The codec the encoding names in the format (its default when it names none), or null.
const codec_kind* codec_in(const clip_format& format, const clip_encoding& encoding);

// Whether path ends with extension (lower-case ASCII), in any case.
bool ends_with(const char16_t* path, const char* extension);

} // namespace korvel
