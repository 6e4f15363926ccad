// The messages that end a render, as the user sees them.
#pragma once

namespace korvel {

inline constexpr char16_t JOB_TITLE_ERROR[] = u"Error!";
inline constexpr char16_t JOB_LAYERS_INVALID[] =
    u"Layers per Frame must be a whole number of at least 1.";
inline constexpr char16_t JOB_LAYERS_TOO_MANY[] =
    u"Layers per Frame is larger than the number of images.";
inline constexpr char16_t JOB_NO_RESOLUTION[] =
    u"Unable to get the resolution from a ''*.png'' file.";
inline constexpr char16_t JOB_TITLE_LOAD_ERROR[] = u"Error Loading Image!";
inline constexpr char16_t JOB_UNABLE_TO_LOAD[] = u"Unable to load, ";
inline constexpr char16_t JOB_UNABLE_TO_SAVE[] = u"Unable to save, ";
// Weighted means only.
inline constexpr char16_t JOB_WEIGHTS_NOT_PER_LAYER[] = u"There must be one weight per layer.";
inline constexpr char16_t JOB_NO_MEMORY_FOR_MEAN[] = u"Unable to hold the sums of a weighted mean";
// Blurs measured in time only.
inline constexpr char16_t JOB_TIMES_NOT_EXACT[] =
    u"The times of these frame rates and this shutter cannot be counted exactly.";
inline constexpr char16_t JOB_INPUTS_TOO_SHORT[] =
    u"The inputs do not last as long as one exposure.";
inline constexpr char16_t JOB_STREAM_NOT_TIMED[] =
    u"A blur by time reads a folder or a clip, not a stream of unknown length.";

} // namespace korvel
