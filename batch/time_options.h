// The options of korvel-render that measure the blur in time: the output frames' rate, the
// shutter angle and phase of their exposures, the inputs' rate, and how the exposure weighs the
// inputs. They replace the options that count inputs, which are refused beside them.
#pragma once

#include "batch/batch_options.h"

#include <string>
#include <vector>

namespace korvel {

// Their getopt_long codes, clear of the other options' codes.
enum time_option_code {
    OPTION_OUT_FPS = 1024,
    OPTION_SHUTTER,
    OPTION_PHASE,
    OPTION_IN_FPS,
};

// Applies option code with its value; false with error set when the value is unusable.
bool read_time_value(int code, const char* value, time_settings* time, std::string* error);

// Once every option is read, given naming each option given (as "-l/--layers" or "--step"):
// refuses the options of the other mode, reads *weights as the weights under an exposure (equal
// by default, then *weights is "equal", a mean) and sets the clip output's rate. False with error
// set when the options do not go together.
bool take_time_options(const std::vector<std::string>& given, std::string* weights,
                       batch_options* options, std::string* error);

} // namespace korvel
