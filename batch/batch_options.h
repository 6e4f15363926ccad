// The command line of korvel-render: which folders or clips, the values the window's fields
// would hold, the output frames to render, the clip's settings, the number of threads and how
// much to report.
#pragma once

#include "batch/clip_options.h"
#include "engine/render_settings.h"
#include "engine/time_settings.h"

#include <cstdint>
#include <string>

namespace korvel {

// Native bytes; a folder ends in "/".
struct batch_paths {
    std::string input_folder; // "" when the input is a clip
    std::string output_folder;
    std::string input_clip;  // the video file given as INPUT, or ""
    std::string output_clip; // OUTPUT when its extension names a kind of clip, or ""
};

struct batch_options {
    batch_paths paths;
    blur_settings blur;       // the window's fields, --step and --weights
    time_settings time;       // --out-fps and the options that go with it
    frame_span frames;        // --frames
    output_settings output;   // --fps, --background, --skip-existing and the PNG settings
    batch_clip_options clip;  // encoders, sound, orientation and streams
    std::int32_t threads = 0; // 0: every processor
    bool quiet = false;
    bool stats = false;
};

enum class batch_command { render, count, help, version, usage_error };

// Reads the arguments into options. For usage_error, error holds a one-line message that names
// what was wrong (without the program name).
batch_command batch_options_parse(int argc, char** argv, batch_options* options,
                                  std::string* error);

// The --help text.
const char* batch_help_text();

} // namespace korvel
