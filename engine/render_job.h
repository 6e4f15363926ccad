// One render job: the input folder's entries in consecutive groups of L, each group composited
// onto a transparent canvas (the first layer opaque, each following one fainter) and saved as a
// numbered PNG in the output folder.
#pragma once

#include "engine/render_host.h"

#include <cstdint>

namespace korvel {

// Messages of the job, as the user sees them.
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
// korvel-render's weighted means only.
inline constexpr char16_t JOB_WEIGHTS_NOT_PER_LAYER[] = u"There must be one weight per layer.";
inline constexpr char16_t JOB_NO_MEMORY_FOR_MEAN[] = u"Unable to hold the sums of a weighted mean";

// Runs one job on the calling thread, which must have its own string workspace; every call to the
// host but frame_saved comes from that thread. Uses directory enumeration 0, image 0 as the canvas
// and images 3 to L + 2 for the layers. Decoding ahead, the rows of large layers and the encoding
// of finished frames go to oneTBB's threads, as many as the calling thread's arena and any
// tbb::global_control in force allow (with one allowed, the calling thread does it all); the
// frames are the same bytes whatever that number.
void render_job_run(const render_host* host);

// For a process that exits while a job may be running: the frames already handed over for saving
// are completed under their names before this returns, the frame being built is dropped, and the
// job tells nothing more. Call it once the host can no longer answer.
void render_job_abandon();

// The frames that inputs make with windows of layers inputs whose first inputs lie step apart:
// every window whose last input exists (0 for fewer inputs than layers). Layers and step are at
// least 1.
std::int64_t window_frames(std::int64_t inputs, std::int64_t layers, std::int64_t step);

} // namespace korvel
