// The command line of korvel-render: which folders or clips, the values the window's fields
// would hold, the output frames to render, the clip's settings, the number of threads and how
// much to report.
#pragma once

#include "image/png_codec.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace korvel {

struct batch_options {
    std::string input_folder; // native bytes, ending in "/"; "" when the input is a clip
    std::string output_folder;
    std::string input_clip;    // the video file given as INPUT, or ""
    std::string output_clip;   // OUTPUT when its extension names a kind of clip, or ""
    std::int32_t rate_num = 0; // --fps; 0 when not given
    std::int32_t rate_den = 1;
    std::uint32_t background = 0; // 0xRRGGBB
    bool skip_existing = false;
    std::int64_t step = 0; // --step; 0: L, consecutive groups (see frame_step)
    // --weights as integer weights, one per layer in input order; none for the fading stack
    std::vector<std::uint32_t> weights;
    bool linear = false;
    png_frame_settings png; // --compression, --png-filter, --format and its --background
    std::int64_t layers = 100;
    std::int64_t alpha = 255;
    bool reverse = false;
    std::int32_t threads = 0; // 0: every processor
    std::int32_t first_frame = 1;
    std::int32_t last_frame = std::numeric_limits<std::int32_t>::max();
    bool quiet = false;
    bool stats = false;
};

// The inputs from one output frame's first input to the next one's: --step, or L.
inline std::int64_t frame_step(const batch_options& options) {
    return options.step ? options.step : options.layers;
}

enum class batch_command { render, count, help, version, usage_error };

// Reads the arguments into options. For usage_error, error holds a one-line message that names
// what was wrong (without the program name).
batch_command batch_options_parse(int argc, char** argv, batch_options* options,
                                  std::string* error);

// The --help text.
const char* batch_help_text();

} // namespace korvel
