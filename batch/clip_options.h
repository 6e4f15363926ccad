// korvel-render's options for clips as footage: the encoder of a clip OUTPUT, the sound that goes
// along or beside PNG frames, the orientation of a clip INPUT and the filter graph its frames pass
// through, and streams on standard input and output ("-").
#pragma once

#include <cstdint>
#include <string>

namespace korvel {

struct batch_options;

enum clip_option_code {
    OPTION_CODEC = 512,
    OPTION_CRF,
    OPTION_PRESET,
    OPTION_NO_AUDIO,
    OPTION_AUDIO,
    OPTION_NO_AUTOROTATE,
    OPTION_CONTAINER,
    OPTION_DIGITS,
    OPTION_VF,
    OPTION_CLIP_LAST,
};

struct batch_clip_options {
    std::string codec; // --codec; "" for the container's default
    std::int32_t crf = -1;
    std::string preset;
    bool sound = true;       // --no-audio clears it
    std::string audio_file;  // --audio: the sound beside PNG frames
    bool autorotate = true;  // --no-autorotate clears it
    std::string container;   // --container of OUTPUT "-"
    std::int32_t digits = 0; // --digits; 0: the width of the input count (6 for a stream)
    std::string filter;      // --vf: FFmpeg's filter graph over a clip INPUT's frames
};

// Whether the path names a stream on standard input or output.
inline bool is_stream(const std::string& path) {
    return path == "-";
}

// Applies option code (one of the above) with its value (null for those without); false with
// error set when the value is unusable.
bool apply_clip_option(int code, const char* value, batch_clip_options* clip, std::string* error);

// The clip options against the paths and the rest, once all are read: what a kind of INPUT or
// OUTPUT does not use is refused rather than ignored, and an encoder this system cannot give is
// refused before anything is written. count: --count was given.
bool check_clip_choices(const batch_options& options, bool count, std::string* error);

} // namespace korvel
