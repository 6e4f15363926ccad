// The clip options, read and checked.
#include "batch/clip_options.h"

#include "batch/batch_numbers.h"
#include "batch/batch_options.h"
#include "image/clip_library.h"
#include "runtime/utf.h"

namespace korvel {

namespace {

bool take_number(const char* option, const char* value, std::int64_t lowest, std::int64_t highest,
                 std::int32_t* number, std::string* error) {
    const auto read = read_whole_number(value);
    if (read && *read >= lowest && *read <= highest) {
        *number = static_cast<std::int32_t>(*read);
        return true;
    }
    *error = std::string(option) + " wants a whole number from " + std::to_string(lowest) + " to " +
             std::to_string(highest) + ", not '" + value + "'";
    return false;
}

// The container OUTPUT is written in: its extension's, or for "-" the one --container names.
const clip_format* output_format(const batch_options& options) {
    const std::string& output = options.paths.output_clip;
    if (is_stream(output)) return clip_support()->pipe_format(options.clip.container.c_str());
    return clip_support()->format_for(utf16_from_utf8(output).c_str());
}

bool check_stream_paths(const batch_options& options, bool count, std::string* error) {
    const bool stream_out = is_stream(options.paths.output_clip);
    if (stream_out && !clip_support()->pipe_format(options.clip.container.c_str())) {
        *error = "OUTPUT - writes a stream to standard output and needs --container " +
                 std::string(clip_support()->pipe_format_names());
        return false;
    }
    if (!stream_out && !options.clip.container.empty()) {
        *error = "--container sets the stream written to standard output, and OUTPUT is not -";
        return false;
    }
    if (is_stream(options.paths.input_clip) && (count || options.output.skip_existing)) {
        *error = "--count and --skip-existing need an INPUT whose length is known, not a stream";
        return false;
    }
    return true;
}

bool check_encoder(const batch_options& options, std::string* error) {
    const batch_clip_options& clip = options.clip;
    const bool chosen = !clip.codec.empty() || clip.crf >= 0 || !clip.preset.empty();
    if (options.paths.output_clip.empty()) {
        if (chosen || !clip.sound)
            *error = "--codec, --crf, --preset and --no-audio set a clip OUTPUT, and OUTPUT is a "
                     "folder";
        return !chosen && clip.sound;
    }
    const clip_encoding encoding{clip.codec.c_str(), clip.crf, clip.preset.c_str()};
    *error = clip_support()->encoding_problem(output_format(options), encoding);
    return error->empty();
}

bool check_sound_beside(const batch_options& options, std::string* error) {
    const std::string& file = options.clip.audio_file;
    if (file.empty()) return true;
    if (!options.paths.output_clip.empty() || options.paths.input_clip.empty()) {
        *error = "--audio writes a clip INPUT's sound beside PNG frames; a clip OUTPUT carries its "
                 "sound itself";
    } else if (options.output.skip_existing) {
        *error =
            "--audio writes the sound of a whole render; it cannot resume with --skip-existing";
    } else if (!clip_support()->sound_format_for(utf16_from_utf8(file).c_str())) {
        *error = "--audio wants a file ending in " +
                 std::string(clip_support()->sound_format_names()) + ", not '" + file + "'";
    }
    return error->empty();
}

// A clip INPUT or OUTPUT needs the clip module, which the checks that follow this one ask.
bool check_clip_support(const batch_options& options, std::string* error) {
    const batch_paths& paths = options.paths;
    if ((paths.input_clip.empty() && paths.output_clip.empty()) || clip_support()) return true;
    *error = clip_support_problem();
    return false;
}

bool check_input_and_frames(const batch_options& options, std::string* error) {
    if (!options.clip.autorotate && options.paths.input_clip.empty()) {
        *error = "--no-autorotate keeps a clip INPUT's stored orientation, and INPUT is a folder";
        return false;
    }
    if (options.clip.digits > 0 && !options.paths.output_clip.empty()) {
        *error = "--digits sets the names of PNG frames, and OUTPUT is a clip";
        return false;
    }
    return true;
}

// A stream cannot be read twice, and a graph's frames are only timed by running it once before the
// render. A graph that fits no clip is refused before any is opened.
bool check_filter(const batch_options& options, std::string* error) {
    const std::string& graph = options.clip.filter;
    if (graph.empty()) return true;
    const clip_library* clips = clip_support();
    if (!clips) {
        *error = clip_support_problem();
    } else if (const std::string problem = clips->filter_problem(graph); !problem.empty()) {
        *error = "--vf '" + graph + "': " + problem;
    } else if (options.paths.input_clip.empty()) {
        *error = "--vf wants a clip INPUT, and INPUT is a folder";
    } else if (is_stream(options.paths.input_clip) && by_time(options.time)) {
        *error = "--vf over a stream INPUT (-) cannot be timed: its frames are read only once";
    }
    return error->empty();
}

} // namespace

bool apply_clip_option(int code, const char* value, batch_clip_options* clip, std::string* error) {
    switch (code) {
    case OPTION_CODEC:
        clip->codec = value;
        return true;
    case OPTION_CRF:
        return take_number("--crf", value, 0, 255, &clip->crf, error);
    case OPTION_PRESET:
        clip->preset = value;
        return true;
    case OPTION_NO_AUDIO:
        clip->sound = false;
        return true;
    case OPTION_AUDIO:
        clip->audio_file = value;
        return true;
    case OPTION_NO_AUTOROTATE:
        clip->autorotate = false;
        return true;
    case OPTION_CONTAINER:
        clip->container = value;
        return true;
    case OPTION_DIGITS:
        return take_number("--digits", value, 1, 10, &clip->digits, error);
    case OPTION_VF:
        clip->filter = value;
        return true;
    }
    return false;
}

bool check_clip_choices(const batch_options& options, bool count, std::string* error) {
    return check_clip_support(options, error) && check_stream_paths(options, count, error) &&
           check_encoder(options, error) && check_sound_beside(options, error) &&
           check_input_and_frames(options, error) && check_filter(options, error);
}

} // namespace korvel
