// Plans measured in time. Output frame n (from 0) shows at t_0 + n / out_rate; its exposure lasts
// (shutter / 360) / out_rate and begins at that time, is centred on it or ends there. The frames
// whose exposure lies within the inputs are made, numbered from 1, each the weighted mean of the
// inputs that show during its exposure, weighed by how long they show in it (or by a Gaussian's
// integral over that time) and quantised as every weighted mean is.
#pragma once

#include "engine/frame_plan.h"
#include "engine/frame_sink.h"
#include "engine/input_timeline.h"
#include "engine/render_settings.h"
#include "engine/time_settings.h"

#include <memory>

namespace korvel {

// The plan of time over timeline: the frames of span, their means in linear light with linear.
// Its recipes are computed as they are asked for, reading the timeline no further than the input
// after the exposure; the plan knows its size only when the timeline knows its end before its
// inputs are read, and only then keeps the frames that resumed holds already. Null, with problem
// set, when the times of these settings cannot be counted exactly in 64 bits.
std::shared_ptr<const frame_plan> plan_by_time(const time_settings& time, bool linear,
                                               std::shared_ptr<const input_timeline> timeline,
                                               const frame_span& span, const frame_sink* resumed,
                                               const char16_t** problem);

// How long after t_0 the first frame of span shows (its time T, not its exposure's start), in
// ticks of time_base; false when the times of these settings cannot be counted exactly.
bool first_frame_after_start(const time_settings& time, const rational& time_base,
                             const frame_span& span, rational* ticks);

} // namespace korvel
