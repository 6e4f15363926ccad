// The plan a batch render follows: windows of inputs, or, with --out-fps, exposures measured in
// time over the inputs' timeline.
#pragma once

#include "batch/batch_options.h"
#include "engine/frame_plan.h"
#include "engine/frame_sink.h"
#include "engine/frame_source.h"
#include "engine/input_timeline.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace korvel {

// When the inputs show: at --in-fps, else at the times a clip's frames carry (when it was opened
// to keep them), else at a clip's own constant rate, else at 25 per second. Null for a stream,
// whose length is not known.
std::shared_ptr<const input_timeline> input_timeline_for(const time_settings& time,
                                                         const frame_source& source);

// The output frames that a full render of source makes with options, UNKNOWN_SIZE for the
// windows of a stream; nothing, with problem set (the render's failure message), when the
// options make no plan of it.
std::optional<std::int64_t> output_frames(const batch_options& options, const frame_source& source,
                                          const char16_t** problem);

// The plan of the frames options.frames selects, keeping those that resumed holds already; null
// with problem set when the options make no frame of source at all.
std::shared_ptr<const frame_plan> plan_for(const batch_options& options, const frame_source& source,
                                           const frame_sink* resumed, const char16_t** problem);

} // namespace korvel
