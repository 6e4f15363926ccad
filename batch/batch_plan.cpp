// Both kinds of plan from the same options. A plan by time that knows its size says it; one over
// a timeline that reading reveals is counted by making its recipes.
#include "batch/batch_plan.h"

#include "engine/constant_timeline.h"
#include "engine/job_messages.h"
#include "engine/stride_plan.h"
#include "engine/time_plan.h"

namespace korvel {

namespace {

std::shared_ptr<const frame_plan> plan_of_span(const batch_options& options,
                                               const frame_source& source, const frame_span& span,
                                               const frame_sink* resumed,
                                               const char16_t** problem) {
    if (!by_time(options.time))
        return plan_windows(options.blur, source.facts().inputs, span, resumed, problem);
    auto timeline = input_timeline_for(options.time, source);
    if (!timeline) {
        *problem = JOB_STREAM_NOT_TIMED;
        return nullptr;
    }
    return plan_by_time(options.time, options.blur.linear, std::move(timeline), span, resumed,
                        problem);
}

// A plan by time ends, however long its input; a stream's windows are counted as it is read.
std::int64_t recipes_in(const frame_plan& plan, bool timed) {
    if (plan.size() != UNKNOWN_SIZE || !timed) return plan.size();
    std::int64_t count = 0;
    frame_recipe recipe;
    while (plan.recipe(count, &recipe))
        ++count;
    return count;
}

} // namespace

std::shared_ptr<const input_timeline> input_timeline_for(const time_settings& time,
                                                         const frame_source& source) {
    const source_facts& facts = source.facts();
    if (facts.inputs < 0) return nullptr;
    if (auto own = source.timeline(); own && time.in_rate.num == 0) return own;
    rational rate = time.in_rate;
    if (rate.num == 0 && facts.rate_num > 0) rational_of(facts.rate_num, facts.rate_den, &rate);
    if (rate.num == 0) rate = {25, 1};
    return std::make_shared<constant_timeline>(facts.inputs, rate);
}

std::optional<std::int64_t> output_frames(const batch_options& options, const frame_source& source,
                                          const char16_t** problem) {
    const auto plan = plan_of_span(options, source, frame_span{}, nullptr, problem);
    if (!plan) return std::nullopt;
    return recipes_in(*plan, by_time(options.time));
}

std::shared_ptr<const frame_plan> plan_for(const batch_options& options, const frame_source& source,
                                           const frame_sink* resumed, const char16_t** problem) {
    const auto frames = output_frames(options, source, problem);
    if (frames == 0) *problem = by_time(options.time) ? JOB_INPUTS_TOO_SHORT : JOB_LAYERS_TOO_MANY;
    if (!frames || frames == 0) return nullptr;
    return plan_of_span(options, source, options.frames, resumed, problem);
}

} // namespace korvel
