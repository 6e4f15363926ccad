// The command line of korvel-render, read with getopt_long. getopt's own messages are turned off so
// that every usage error comes out as one line in the program's own words.
#include "batch/batch_options.h"

#include "batch/batch_numbers.h"
#include "batch/batch_weights.h"
#include "batch/clip_options.h"
#include "batch/time_options.h"
#include "image/clip_library.h"
#include "runtime/utf.h"

#include <getopt.h>
#include <sys/stat.h>

namespace korvel {

namespace {

enum long_only_option {
    OPTION_FRAMES = 256,
    OPTION_STATS,
    OPTION_VERSION,
    OPTION_FPS,
    OPTION_BACKGROUND,
    OPTION_SKIP_EXISTING,
    OPTION_STEP,
    OPTION_WEIGHTS,
    OPTION_LINEAR,
    OPTION_COMPRESSION,
    OPTION_PNG_FILTER,
    OPTION_FORMAT,
    OPTION_COUNT,
};

constexpr char short_options[] = ":l:a:rj:qh";

constexpr option long_options[] = {
    {"layers", required_argument, nullptr, 'l'},
    {"alpha", required_argument, nullptr, 'a'},
    {"reverse", no_argument, nullptr, 'r'},
    {"threads", required_argument, nullptr, 'j'},
    {"frames", required_argument, nullptr, OPTION_FRAMES},
    {"fps", required_argument, nullptr, OPTION_FPS},
    {"background", required_argument, nullptr, OPTION_BACKGROUND},
    {"skip-existing", no_argument, nullptr, OPTION_SKIP_EXISTING},
    {"step", required_argument, nullptr, OPTION_STEP},
    {"weights", required_argument, nullptr, OPTION_WEIGHTS},
    {"linear", no_argument, nullptr, OPTION_LINEAR},
    {"compression", required_argument, nullptr, OPTION_COMPRESSION},
    {"png-filter", required_argument, nullptr, OPTION_PNG_FILTER},
    {"format", required_argument, nullptr, OPTION_FORMAT},
    {"count", no_argument, nullptr, OPTION_COUNT},
    {"codec", required_argument, nullptr, OPTION_CODEC},
    {"crf", required_argument, nullptr, OPTION_CRF},
    {"preset", required_argument, nullptr, OPTION_PRESET},
    {"no-audio", no_argument, nullptr, OPTION_NO_AUDIO},
    {"audio", required_argument, nullptr, OPTION_AUDIO},
    {"no-autorotate", no_argument, nullptr, OPTION_NO_AUTOROTATE},
    {"container", required_argument, nullptr, OPTION_CONTAINER},
    {"digits", required_argument, nullptr, OPTION_DIGITS},
    {"vf", required_argument, nullptr, OPTION_VF},
    {"out-fps", required_argument, nullptr, OPTION_OUT_FPS},
    {"shutter", required_argument, nullptr, OPTION_SHUTTER},
    {"phase", required_argument, nullptr, OPTION_PHASE},
    {"in-fps", required_argument, nullptr, OPTION_IN_FPS},
    {"stats", no_argument, nullptr, OPTION_STATS},
    {"quiet", no_argument, nullptr, 'q'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, OPTION_VERSION},
    {nullptr, 0, nullptr, 0},
};

// The option whose code is code, or null.
const option* find_option(int code) {
    for (const option& known : long_options) {
        if (known.name && known.val == code) return &known;
    }
    return nullptr;
}

// "-l/--layers", or "--frames" for an option without a short form.
std::string option_name(int code) {
    const option* known = find_option(code);
    if (!known) return "option";
    const std::string name = std::string("--") + known->name;
    return code < 256 ? std::string("-") + static_cast<char>(code) + "/" + name : name;
}

std::string quoted(const char* text) {
    return std::string("'") + text + "'";
}

// A mistyped value: which option, what it wants and what was given.
std::string bad_value(int code, const char* wanted, const char* given) {
    return option_name(code) + " wants " + wanted + ", not " + quoted(given);
}

// The error for what getopt_long refused. optopt holds the option's code for a missing or an
// unexpected value, the character of an unknown short option, and 0 for an unknown long option,
// which is then the argument just passed over.
std::string refused_option(int result, char** argv) {
    if (result == ':') return option_name(optopt) + " needs a value";
    if (find_option(optopt)) return option_name(optopt) + " takes no value";
    if (optopt != 0) return "unknown option '-" + std::string(1, static_cast<char>(optopt)) + "'";
    return "unknown option " + quoted(argv[optind - 1]);
}

// The clip options' values; false with error set when the value is unusable.
bool apply_clip_value(int code, const char* value, batch_options* options, std::string* error) {
    if (code == OPTION_FPS) {
        const auto rate = read_frame_rate(value);
        if (rate) {
            options->output.rate_num = rate->num;
            options->output.rate_den = rate->den;
            return true;
        }
        *error = bad_value(code, "frames per second above 0 and up to 1000 (25, 29.97, 30000/1001)",
                           value);
        return false;
    }
    const auto colour = read_colour(value);
    if (colour) options->output.background = *colour;
    if (!colour) *error = bad_value(code, "a colour as #RRGGBB, black or white", value);
    return colour.has_value();
}

constexpr std::pair<const char*, png_row_filter> png_filters[] = {
    {"none", png_row_filter::none},
    {"sub", png_row_filter::sub},
    {"up", png_row_filter::up},
    {"paeth", png_row_filter::paeth},
    {"adaptive", png_row_filter::adaptive},
};

// The PNG options' values; false with error set when the value is unusable.
bool apply_png_value(int code, const char* value, png_frame_settings* png, std::string* error) {
    const std::string text(value);
    if (code == OPTION_FORMAT && (text == "rgba" || text == "rgb")) {
        png->rgb = text == "rgb";
        return true;
    }
    for (const auto& [name, filter] : png_filters) {
        if (code == OPTION_PNG_FILTER && text == name) {
            png->filter = filter;
            return true;
        }
    }
    const auto level = read_whole_number(value);
    if (code == OPTION_COMPRESSION && level && *level >= 0 && *level <= 12) {
        png->level = static_cast<std::int32_t>(*level);
        return true;
    }
    *error = bad_value(code,
                       code == OPTION_FORMAT       ? "rgba or rgb"
                       : code == OPTION_PNG_FILTER ? "none, sub, up, paeth or adaptive"
                                                   : "a level from 0 to 12",
                       value);
    return false;
}

// Applies option code with its value; false with error set when the value is unusable.
bool apply_value(int code, const char* value, batch_options* options, std::string* error) {
    if (code >= OPTION_CODEC && code < OPTION_CLIP_LAST)
        return apply_clip_option(code, value, &options->clip, error);
    if (code == OPTION_FPS || code == OPTION_BACKGROUND)
        return apply_clip_value(code, value, options, error);
    if (code == OPTION_COMPRESSION || code == OPTION_PNG_FILTER || code == OPTION_FORMAT)
        return apply_png_value(code, value, &options->output.png, error);
    if (code == OPTION_FRAMES) {
        const auto range = read_frame_range(value);
        if (range) {
            options->frames.first = range->first;
            options->frames.last = range->last;
            return true;
        }
        *error = bad_value(code, "A-B, A- or A, frames counted from 1 and B not below A", value);
        return false;
    }
    const auto number = read_whole_number(value);
    if (code == 'a' && number) {
        options->blur.alpha = *number;
        return true;
    }
    if (code == 'l' && number && *number >= 1) {
        options->blur.layers = *number;
        return true;
    }
    if (code == OPTION_STEP && number && *number >= 1) {
        options->blur.step = *number;
        return true;
    }
    if (code == 'j' && number && *number >= 1 && *number <= std::numeric_limits<int>::max()) {
        options->threads = static_cast<std::int32_t>(*number);
        return true;
    }
    *error =
        bad_value(code, code == 'a' ? "a whole number" : "a whole number of at least 1", value);
    return false;
}

// The folder as the window's folder chooser gives it: with a trailing separator, so that entry
// and frame names join it into paths.
bool take_folder(const char* text, const char* role, std::string* folder, std::string* error) {
    *folder = text;
    if (folder->empty()) {
        *error = std::string("the ") + role + " folder must not be empty";
        return false;
    }
    if (folder->back() != '/') *folder += '/';
    return true;
}

bool is_regular_file(const char* path) {
    struct stat status {};
    return stat(path, &status) == 0 && S_ISREG(status.st_mode);
}

bool is_folder(const char* path) {
    struct stat status {};
    return stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

// The extension of the path's last name (".avi"), or "" when it has none.
std::string extension_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    const bool has = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return has ? path.substr(dot) : std::string();
}

// OUTPUT is a clip when it is no folder and its extension names a kind of clip; any other
// extension on a path that is no folder is refused, rather than made a folder name.
bool take_output(const char* text, batch_options* options, std::string* error) {
    const std::string output(text);
    if (is_stream(output)) {
        options->paths.output_clip = output;
        return true;
    }
    const std::string extension = extension_of(output);
    if (extension.empty() || output.back() == '/' || is_folder(text))
        return take_folder(text, "output", &options->paths.output_folder, error);
    const clip_library* clips = clip_support();
    if (clips && clips->format_for(utf16_from_utf8(output).c_str())) {
        options->paths.output_clip = output;
        return true;
    }
    *error = "OUTPUT " + quoted(text) + " is no folder, and " +
             (clips ? quoted(extension.c_str()) +
                          " is no kind of clip (.mkv, .mov, .webm, .mp4, .nut or .y4m)"
                    : std::string(clip_support_problem()));
    return false;
}

// The options given that only some outputs use.
struct used_options {
    bool rate = false, background = false, png = false;
    void note(int code) {
        rate |= code == OPTION_FPS;
        background |= code == OPTION_BACKGROUND;
        png |= code == OPTION_COMPRESSION || code == OPTION_PNG_FILTER || code == OPTION_FORMAT;
    }
};

// The weights once L is known; --linear sums colours for a mean, which the stack does not make.
bool take_weights(const std::string& text, batch_options* options, std::string* error) {
    if (!read_weights(text, options->blur.layers, &options->blur.weights, error)) {
        *error = "--weights " + *error;
        return false;
    }
    if (options->blur.linear && options->blur.weights.empty()) {
        *error = "--linear works with a weighted mean (--weights), not with ramp";
        return false;
    }
    return true;
}

// What only a clip output uses, and what a clip output cannot do, are refused rather than ignored.
bool check_clip_options(const batch_options& options, const used_options& used,
                        std::string* error) {
    const bool clip = !options.paths.output_clip.empty();
    if (!clip && (used.rate || (used.background && !options.output.png.rgb))) {
        *error = "--fps and --background set a clip's frames (--background also those of "
                 "--format rgb), and OUTPUT is a folder";
        return false;
    }
    if (clip && used.png) {
        *error = "--compression, --png-filter and --format set PNG files, and OUTPUT is a clip";
        return false;
    }
    if (!options.paths.output_clip.empty() && options.output.skip_existing) {
        *error = "--skip-existing resumes a folder of frames; a clip is written whole";
        return false;
    }
    return true;
}

bool take_input(const char* input, batch_options* options, std::string* error) {
    if (!is_stream(input) && !is_regular_file(input))
        return take_folder(input, "input", &options->paths.input_folder, error);
    options->paths.input_clip = input;
    return true;
}

// INPUT and OUTPUT, or with --count INPUT alone.
bool take_paths(int argc, char** argv, bool count, batch_options* options, std::string* error) {
    const int given = argc - optind, wanted = count ? 1 : 2;
    if (given < wanted) {
        *error = count ? "expected INPUT" : "expected INPUT and OUTPUT";
        return false;
    }
    if (given > wanted) {
        *error = "unexpected argument " + quoted(argv[optind + wanted]);
        return false;
    }
    return take_input(argv[optind], options, error) &&
           (count || take_output(argv[optind + 1], options, error));
}

} // namespace

batch_command batch_options_parse(int argc, char** argv, batch_options* options,
                                  std::string* error) {
    opterr = 0;
    bool help = false;
    bool version = false;
    bool count = false;
    used_options used;
    std::string weights = "ramp";
    std::vector<std::string> given;
    for (;;) {
        const int code = getopt_long(argc, argv, short_options, long_options, nullptr);
        if (code == -1) break;
        given.push_back(option_name(code));
        switch (code) {
        case 'r':
            options->blur.reverse = true;
            break;
        case 'q':
            options->quiet = true;
            break;
        case 'h':
            help = true;
            break;
        case OPTION_STATS:
            options->stats = true;
            break;
        case OPTION_VERSION:
            version = true;
            break;
        case OPTION_SKIP_EXISTING:
            options->output.skip_existing = true;
            break;
        case OPTION_LINEAR:
            options->blur.linear = true;
            break;
        case OPTION_WEIGHTS:
            weights = optarg;
            break;
        case OPTION_COUNT:
            count = true;
            break;
        case OPTION_OUT_FPS:
        case OPTION_SHUTTER:
        case OPTION_PHASE:
        case OPTION_IN_FPS:
            if (!read_time_value(code, optarg, &options->time, error))
                return batch_command::usage_error;
            break;
        case ':':
        case '?':
            *error = refused_option(code, argv);
            return batch_command::usage_error;
        default:
            if (!apply_value(code, optarg, options, error)) return batch_command::usage_error;
            used.note(code);
        }
    }
    if (help) return batch_command::help;
    if (version) return batch_command::version;
    const bool usable =
        take_time_options(given, &weights, options, error) &&
        take_weights(weights, options, error) && take_paths(argc, argv, count, options, error) &&
        check_clip_options(*options, used, error) && check_clip_choices(*options, count, error);
    if (!usable) return batch_command::usage_error;
    return count ? batch_command::count : batch_command::render;
}

} // namespace korvel
