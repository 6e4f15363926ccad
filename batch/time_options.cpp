// Blur by time on the command line. The options that count inputs (-l, --step, --reverse,
// --alpha, ramp and lists of weights) and --fps, which --out-fps takes the place of, are refused
// beside --out-fps rather than ignored; the options of this mode are refused without it.
#include "batch/time_options.h"

#include "batch/batch_numbers.h"

#include <algorithm>
#include <utility>

namespace korvel {

namespace {

constexpr std::pair<const char*, exposure_phase> phases[] = {
    {"start", exposure_phase::start},
    {"center", exposure_phase::center},
    {"end", exposure_phase::end},
};

// The options of the other mode, with what they do there.
constexpr std::pair<const char*, const char*> counting_options[] = {
    {"-l/--layers", "counts inputs"},        {"--step", "counts inputs"},
    {"-r/--reverse", "orders a window"},     {"-a/--alpha", "sets the fading stack"},
    {"--fps", "sets a clip's rate by hand"},
};
constexpr const char* timing_options[] = {"--shutter", "--phase", "--in-fps"};

bool read_phase(const char* value, exposure_phase* phase) {
    for (const auto& [name, known] : phases) {
        if (std::string(value) == name) {
            *phase = known;
            return true;
        }
    }
    return false;
}

std::string refused_value(const char* option, const char* wanted, const char* value) {
    return std::string(option) + " wants " + wanted + ", not '" + value + "'";
}

bool was_given(const std::vector<std::string>& given, const char* name) {
    return std::find(given.begin(), given.end(), name) != given.end();
}

// "equal", "gauss" or "gauss:SIGMA" with SIGMA a share of the exposure above 0.
bool read_exposure_weights(const std::string& text, time_settings* time, std::string* error) {
    if (text == "equal") return true;
    time->gauss = text == "gauss" || text.starts_with("gauss:");
    const auto sigma =
        text.starts_with("gauss:") ? read_ratio(text.c_str() + 6, 1000) : std::optional<rational>();
    if (sigma) time->sigma = static_cast<double>(sigma->num) / static_cast<double>(sigma->den);
    if (text == "gauss" || sigma) return true;
    *error =
        time->gauss
            ? refused_value("--weights", "a SIGMA above 0 after 'gauss:'", text.c_str())
            : refused_value("--weights", "equal or gauss[:SIGMA] with --out-fps", text.c_str());
    return false;
}

} // namespace

bool read_time_value(int code, const char* value, time_settings* time, std::string* error) {
    if (code == OPTION_PHASE) {
        if (read_phase(value, &time->phase)) return true;
        *error = refused_value("--phase", "start, center or end", value);
        return false;
    }
    if (code == OPTION_SHUTTER) {
        const auto degrees = read_ratio(value, 3600);
        if (degrees) time->shutter = *degrees;
        if (!degrees)
            *error =
                refused_value("--shutter", "degrees above 0 and up to 3600 (180, 172.8)", value);
        return degrees.has_value();
    }
    const auto rate = read_ratio(value, 1000);
    if (rate) (code == OPTION_OUT_FPS ? time->out_rate : time->in_rate) = *rate;
    if (!rate)
        *error = refused_value(code == OPTION_OUT_FPS ? "--out-fps" : "--in-fps",
                               "frames per second above 0 and up to 1000 (60, 59.94, 60000/1001)",
                               value);
    return rate.has_value();
}

bool take_time_options(const std::vector<std::string>& given, std::string* weights,
                       batch_options* options, std::string* error) {
    time_settings& time = options->time;
    if (!by_time(time)) {
        const bool timing = std::any_of(std::begin(timing_options), std::end(timing_options),
                                        [&](const char* name) { return was_given(given, name); });
        if (timing) *error = "--shutter, --phase and --in-fps blur by time and need --out-fps";
        return !timing;
    }
    for (const auto& [name, what] : counting_options) {
        if (!was_given(given, name)) continue;
        *error = std::string(name) + " " + what + ", and --out-fps blurs by time: give one or " +
                 "the other";
        return false;
    }
    if (was_given(given, "--weights") && !read_exposure_weights(*weights, &time, error))
        return false;
    *weights = "equal";
    options->output.rate_num = static_cast<std::int32_t>(time.out_rate.num);
    options->output.rate_den = static_cast<std::int32_t>(time.out_rate.den);
    return true;
}

} // namespace korvel
