// Both kinds of plan from the same options. A plan by time that knows its size says it; one over
// a timeline that reading reveals is counted by making its recipes.
#include "batch/batch_plan.h"

#include "engine/constant_timeline.h"
#include "engine/job_messages.h"
#include "engine/stride_plan.h"
#include "engine/time_plan.h"

namespace korvel {

namespace {

std::int64_t recipes_in(const frame_plan& plan) {
    if (plan.size() != UNKNOWN_SIZE) return plan.size();
    std::int64_t count = 0;
    frame_recipe recipe;
    while (plan.recipe(count, &recipe))
        ++count;
    return count;
}

std::shared_ptr<const frame_plan> plan_of_span(const batch_options& options,
                                               const frame_source& source, const frame_span& span,
                                               const frame_sink* resumed,
                                               const char16_t** problem) {
    if (by_time(options.time))
        return plan_by_time(options.time, options.blur.linear,
                            input_timeline_for(options.time, source), span, resumed, problem);
    return plan_windows(options.blur, source.facts().inputs, span, resumed, problem);
}

} // namespace

std::shared_ptr<const input_timeline> input_timeline_for(const time_settings& time,
                                                         const frame_source& source) {
    const source_facts& facts = source.facts();
    rational rate = time.in_rate;
    if (rate.num == 0 && facts.rate_num > 0) rational_of(facts.rate_num, facts.rate_den, &rate);
    if (rate.num == 0) rate = {25, 1};
    return std::make_shared<constant_timeline>(facts.inputs, rate);
}

std::int64_t output_frames(const batch_options& options, const frame_source& source,
                           const char16_t** problem) {
    const auto plan = plan_of_span(options, source, frame_span{}, nullptr, problem);
    return plan ? recipes_in(*plan) : -1;
}

std::shared_ptr<const frame_plan> plan_for(const batch_options& options, const frame_source& source,
                                           const frame_sink* resumed, const char16_t** problem) {
    const std::int64_t frames = output_frames(options, source, problem);
    if (frames == 0) *problem = by_time(options.time) ? JOB_INPUTS_TOO_SHORT : JOB_LAYERS_TOO_MANY;
    if (frames < 1) return nullptr;
    return plan_of_span(options, source, options.frames, resumed, problem);
}

} // namespace korvel
