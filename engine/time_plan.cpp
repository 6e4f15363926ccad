// Recipes of a blur by time, computed when asked for. A recipe asked again, or a later one,
// starts its walk along the timeline at the first input of the nearest recipe before it, which
// the plan remembers for the last few it made. Every weight is divided by one divisor common to
// all frames, found over one period of a constant timeline's frames: that changes no mean, keeps
// the sums as small as the frames allow, and gives an input that two frames share in full the
// same weight in both, so that the mean slides from one to the next.
#include "engine/time_plan.h"

#include "engine/exposure.h"
#include "engine/frame_blender.h"
#include "engine/job_messages.h"
#include "engine/kept_frames.h"
#include "engine/timeline_walk.h"

#include <algorithm>
#include <limits>
#include <map>
#include <mutex>
#include <numeric>
#include <vector>

namespace korvel {

namespace {

constexpr std::size_t most_checkpoints = 64;
constexpr std::uint32_t largest_weight = 1024;
// Finding the bounds over a period may look at this many pieces of exposures.
constexpr std::int64_t most_bound_pieces = std::int64_t{1} << 20;
// What bounds the layers of a frame when the timeline does not say how long its inputs last.
constexpr std::int64_t unbounded_layers = std::int64_t{1} << 24;

struct time_shape {
    exposure_grid grid;
    time_settings time;
    shown_input origin;       // input 0, at t_0
    std::int64_t first_n;     // the n of recipe 0
    std::int64_t size;        // recipes, or UNKNOWN_SIZE
    std::int32_t first_frame; // recipe 0's number
};

struct weight_bounds {
    std::uint32_t divisor;
    std::int32_t largest;
    std::int64_t layers;
};

// Frame n's exposure, from start to end in units; false when it does not fit.
bool exposure_of(const time_shape& shape, std::int64_t n, std::int64_t* start, std::int64_t* end) {
    std::int64_t offset = 0;
    return !__builtin_mul_overflow(n, shape.grid.step, &offset) &&
           !__builtin_add_overflow(shape.origin.start, offset, start) &&
           !__builtin_sub_overflow(*start, shape.grid.lead, start) &&
           !__builtin_add_overflow(*start, shape.grid.length, end);
}

class time_plan final : public frame_plan {
public:
    time_plan(const time_shape& shape, std::shared_ptr<const input_timeline> timeline,
              const blend_rule& rule, std::vector<std::int32_t> kept)
        : shape_(shape), timeline_(std::move(timeline)), rule_(rule), kept_(std::move(kept)),
          bounds_(bounds_of()), walk_(*timeline_, shape.grid.scale) {}

    std::int64_t size() const override { return shape_.size; }
    bool recipe(std::int64_t k, frame_recipe* out) const override;
    const blend_rule& rule() const override { return rule_; }
    std::int64_t most_layers() const override { return bounds_.layers; }
    std::int32_t largest_amount() const override { return bounds_.largest; }
    std::int64_t inputs_passed_over() const override {
        std::lock_guard guard(lock_);
        return walk_.passed_over();
    }

private:
    weight_bounds bounds_of() const;
    bool pieces_of(std::int64_t k, std::int64_t start, std::int64_t end,
                   std::vector<exposure_piece>* pieces) const;

    time_shape shape_;
    std::shared_ptr<const input_timeline> timeline_;
    const blend_rule& rule_;
    std::vector<std::int32_t> kept_;
    weight_bounds bounds_;
    mutable std::mutex lock_; // the walk and the checkpoints; the timeline is read under it
    mutable timeline_walk walk_;
    mutable std::map<std::int64_t, shown_input> checkpoints_; // a recipe's first input
};

bool time_plan::recipe(std::int64_t k, frame_recipe* out) const {
    const bool past_size = shape_.size != UNKNOWN_SIZE && k >= shape_.size;
    if (k < 0 || past_size || k > std::numeric_limits<std::int32_t>::max() - shape_.first_frame)
        return false;
    out->frame = static_cast<std::int32_t>(shape_.first_frame + k);
    out->kept = std::binary_search(kept_.begin(), kept_.end(), out->frame);
    out->layers.clear();
    if (out->kept) return true;
    std::int64_t start = 0, end = 0;
    std::vector<exposure_piece> pieces;
    if (!exposure_of(shape_, shape_.first_n + k, &start, &end) ||
        !pieces_of(k, start, end, &pieces))
        return false;
    const std::vector<std::uint32_t> weights =
        piece_weights(pieces, start, shape_.grid, shape_.time);
    for (std::size_t i = 0; i < weights.size(); ++i)
        if (weights[i] != 0)
            out->layers.push_back(
                {pieces[i].input, static_cast<std::int32_t>(weights[i] / bounds_.divisor)});
    return true;
}

bool time_plan::pieces_of(std::int64_t k, std::int64_t start, std::int64_t end,
                          std::vector<exposure_piece>* pieces) const {
    std::lock_guard guard(lock_);
    const auto after = checkpoints_.upper_bound(k);
    shown_input from = after == checkpoints_.begin() ? shape_.origin : std::prev(after)->second;
    if (!walk_.pieces(start, end, &from, pieces)) return false;
    checkpoints_[k] = from;
    if (checkpoints_.size() > most_checkpoints) {
        auto lowest = checkpoints_.begin();
        if (lowest->first == k) ++lowest;
        checkpoints_.erase(lowest);
    }
    return true;
}

// The frames of a constant timeline repeat their pieces once the frames' times have moved on by
// a whole number of inputs, so one such period of frames holds every weighting there is.
weight_bounds time_plan::bounds_of() const {
    std::int64_t frame_ticks = 0, inputs = 0, frame_units = 0;
    if (!timeline_->constant(&frame_ticks, &inputs) ||
        __builtin_mul_overflow(frame_ticks, shape_.grid.scale, &frame_units) || frame_units <= 0)
        return {1, largest_weight, unbounded_layers};
    const std::int64_t per_frame = shape_.grid.length / frame_units + 2;
    const std::int64_t period = frame_units / std::gcd(shape_.grid.step, frame_units);
    const std::int64_t frames = std::min(period, shape_.size);
    const weight_bounds unknown{1, largest_weight, per_frame};
    if (frames > most_bound_pieces / per_frame) return unknown;
    timeline_walk walk(*timeline_, shape_.grid.scale);
    shown_input from = shape_.origin;
    std::vector<exposure_piece> pieces;
    std::uint32_t divisor = 0;
    std::int64_t layers = 0;
    for (std::int64_t k = 0; k < frames; ++k) {
        std::int64_t start = 0, end = 0;
        if (!exposure_of(shape_, shape_.first_n + k, &start, &end) ||
            !walk.pieces(start, end, &from, &pieces))
            return unknown;
        const auto weights = piece_weights(pieces, start, shape_.grid, shape_.time);
        for (const std::uint32_t weight : weights)
            divisor = std::gcd(divisor, weight);
        layers = std::max<std::int64_t>(layers, std::count_if(weights.begin(), weights.end(),
                                                              [](std::uint32_t w) { return w; }));
    }
    if (divisor == 0) return unknown;
    return {divisor, static_cast<std::int32_t>(largest_weight / divisor), layers};
}

// The n of span's first frame: the frames from the first whose exposure starts at t_0 or later.
std::int64_t first_n_of(const exposure_grid& grid, const frame_span& span) {
    return ceil_div(grid.lead, grid.step) + span.first - 1;
}

// The ticks from t_0 (at first) to the inputs' end, for a timeline that knows them before its
// inputs are read; UNKNOWN_SIZE when it does not. False when they do not fit in 64 bits.
bool known_lasting(const input_timeline& timeline, std::int64_t first, std::int64_t* ticks) {
    std::int64_t frame_ticks = 0, inputs = 0, end = 0;
    *ticks = UNKNOWN_SIZE;
    if (timeline.constant(&frame_ticks, &inputs))
        return !__builtin_mul_overflow(frame_ticks, inputs, ticks);
    return !timeline.end_known(&end) || !__builtin_sub_overflow(end, first, ticks);
}

// Where recipe 0 lies and, for a timeline that knows its end, how many recipes there are: the
// frames n from the first whose exposure starts at t_0 or later to the last that ends by the
// inputs' end.
bool place_frames(const input_timeline& timeline, const frame_span& span, time_shape* shape) {
    const exposure_grid& grid = shape->grid;
    const std::int64_t first_whole = ceil_div(grid.lead, grid.step);
    shape->first_frame = span.first;
    shape->first_n = first_n_of(grid, span);
    shape->origin = {0, 0};
    std::int64_t ticks = 0, lasting = 0, end = 0;
    if (!timeline.start_of(0, &ticks)) {
        shape->size = 0;
        return true;
    }
    if (__builtin_mul_overflow(ticks, grid.scale, &shape->origin.start) ||
        !known_lasting(timeline, ticks, &lasting))
        return false;
    if (lasting == UNKNOWN_SIZE) {
        shape->size = UNKNOWN_SIZE;
        return true;
    }
    if (__builtin_mul_overflow(lasting, grid.scale, &lasting) ||
        __builtin_add_overflow(lasting, shape->origin.start, &end))
        return false;
    const std::int64_t last_whole = floor_div(lasting + grid.lead - grid.length, grid.step);
    const std::int64_t frames = std::max<std::int64_t>(0, last_whole - first_whole + 1);
    shape->size =
        std::max<std::int64_t>(0, std::min<std::int64_t>(span.last, frames) - span.first + 1);
    return true;
}

} // namespace

bool first_frame_after_start(const time_settings& time, const rational& time_base,
                             const frame_span& span, rational* ticks) {
    exposure_grid grid{};
    std::int64_t units = 0;
    return exposure_grid_for(time, time_base, &grid) &&
           !__builtin_mul_overflow(first_n_of(grid, span), grid.step, &units) &&
           rational_of(units, grid.scale, ticks);
}

std::shared_ptr<const frame_plan> plan_by_time(const time_settings& time, bool linear,
                                               std::shared_ptr<const input_timeline> timeline,
                                               const frame_span& span, const frame_sink* resumed,
                                               const char16_t** problem) {
    time_shape shape{};
    shape.time = time;
    if (!exposure_grid_for(time, timeline->time_base(), &shape.grid) ||
        !place_frames(*timeline, span, &shape)) {
        *problem = JOB_TIMES_NOT_EXACT;
        return nullptr;
    }
    std::vector<std::int32_t> kept;
    if (shape.size != UNKNOWN_SIZE)
        kept = frames_saved_already(resumed, span.first, span.first + shape.size - 1);
    return std::make_shared<time_plan>(shape, std::move(timeline),
                                       linear ? linear_mean_blend : mean_blend, std::move(kept));
}

} // namespace korvel
