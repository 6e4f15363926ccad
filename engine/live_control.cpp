// The window's loops, as its users know them: a frame loop bounded by total / L, a batch loop that
// takes the next L entries of the folder under keys 3 to L + 2, and a layer loop that draws the
// keys from the first or the last on, each bound read again before every pass. The steps
// themselves come from a plan made from the fields as last read; before each step the control
// works out what the loops would do now and, when the plan would do otherwise, makes it again
// from here, so the read-ahead always follows what is about to happen.
#include "engine/live_control.h"

#include "engine/frame_blender.h"
#include "engine/job_messages.h"
#include "engine/stride_plan.h"
#include "runtime/numeric.h"

#include <algorithm>

namespace korvel {

namespace {

constexpr std::int64_t FIRST_KEY = 3;

// Whether key lies in a batch of L layers (keys 3 to L + 2), compared in 32 bits as the loops
// compare it.
bool within_batch(std::int64_t key, std::int64_t layers) {
    return static_cast<std::int32_t>(key) <= static_cast<std::int32_t>(layers + FIRST_KEY - 1);
}

// The frame being made, as it stands, and then another plan.
class opening_plan final : public frame_plan {
public:
    opening_plan(frame_recipe opening, std::shared_ptr<const frame_plan> rest)
        : opening_(std::move(opening)), rest_(std::move(rest)) {}

    std::int64_t size() const override { return 1 + rest_->size(); }
    bool recipe(std::int64_t k, frame_recipe* out) const override {
        if (k != 0) return rest_->recipe(k - 1, out);
        *out = opening_;
        return true;
    }
    const blend_rule& rule() const override { return stack_blend; }
    std::int64_t most_layers() const override {
        return std::max(static_cast<std::int64_t>(opening_.layers.size()), rest_->most_layers());
    }
    std::int32_t largest_amount() const override { return 255; }

private:
    frame_recipe opening_;
    std::shared_ptr<const frame_plan> rest_;
};

bool same_step(const work_step& a, const work_step& b) {
    return a.kind == b.kind && a.frame == b.frame && a.input == b.input && a.amount == b.amount;
}

} // namespace

live_control::live_control(live_fields& fields, folder_source& source, png_sink& sink,
                           std::int64_t total)
    : fields_(fields), source_(source), sink_(sink), total_(total) {}

control_verdict live_control::before_step(work_cursor* cursor, job_failure* failure) {
    failure_ = failure;
    replanned_ = false;
    const control_verdict verdict = advance(cursor);
    return verdict == control_verdict::go_on && replanned_ ? control_verdict::replanned : verdict;
}

// Runs the loops up to the next step.
control_verdict live_control::advance(work_cursor* cursor) {
    for (;;) {
        control_verdict verdict = control_verdict::go_on;
        switch (phase_) {
        case phase::frame_pass:
            return pass_frame_loop(cursor);
        case phase::batch:
            verdict = take_batch();
            break;
        case phase::layer:
            return pass_layer_loop(cursor);
        case phase::after_layer:
            verdict = step_to_next_layer();
            break;
        case phase::after_frame:
            if (cancelled()) return control_verdict::stop;
            ++frame_;
            phase_ = phase::frame_pass;
            break;
        }
        if (verdict != control_verdict::go_on) return verdict;
    }
}

// Frames while the frame number is at most total / L.
control_verdict live_control::pass_frame_loop(work_cursor* cursor) {
    std::int64_t layers = 0;
    if (!read_layers(&layers)) return control_verdict::fail;
    if (frame_ == 1 && frames_for(layers) < 1) return fail(JOB_LAYERS_TOO_MANY);
    if (frame_ > frames_for(layers)) return control_verdict::end;
    follow(cursor, {step_kind::begin, frame_, NO_INPUT, 0}, layers);
    phase_ = phase::batch;
    return control_verdict::go_on;
}

// The next L entries under keys 3 to L + 2, then what the layer loop starts from.
control_verdict live_control::take_batch() {
    std::int64_t layers = 0;
    for (std::int64_t key = FIRST_KEY;; ++key) {
        if (!read_layers(&layers)) return control_verdict::fail;
        if (!within_batch(key, layers)) break;
        const std::int64_t input = delivered_++;
        keys_[key] = input;
        fields_.record_name(key, source_.name_of(input));
        if (cancelled()) return control_verdict::stop;
    }
    loop_.reverse = fields_.reverse();
    if (!read_layers(&layers)) return control_verdict::fail;
    loop_.key = loop_.reverse ? layers + FIRST_KEY - 1 : FIRST_KEY;
    loop_.alpha = fields_.alpha_levels();
    if (!read_layers(&layers)) return control_verdict::fail;
    loop_.ramp = opacity_ramp_start(loop_.alpha, layers);
    loop_.slot = FIRST_KEY;
    phase_ = phase::layer;
    return control_verdict::go_on;
}

// The next layer while the slot is at most L + 2, else the frame's saving.
control_verdict live_control::pass_layer_loop(work_cursor* cursor) {
    std::int64_t layers = 0;
    if (!read_layers(&layers)) return control_verdict::fail;
    if (!within_batch(loop_.slot, layers)) {
        sink_.relocate(fields_.output_folder());
        follow(cursor, {step_kind::save, frame_, NO_INPUT, 0}, layers);
        phase_ = phase::after_frame;
        return control_verdict::go_on;
    }
    std::u16string folder = fields_.input_folder();
    if (folder != source_.folder()) {
        source_.relocate(std::move(folder));
        replanned_ = true;
    }
    const auto found = keys_.find(loop_.key);
    opacity_ramp ramp = loop_.ramp;
    follow(cursor,
           {step_kind::draw, frame_, found == keys_.end() ? NO_INPUT : found->second,
            opacity_ramp_next(&ramp)},
           layers);
    phase_ = phase::after_layer;
    return control_verdict::go_on;
}

control_verdict live_control::step_to_next_layer() {
    opacity_ramp_next(&loop_.ramp);
    ++loop_.slot;
    loop_.reverse = fields_.reverse();
    loop_.key += loop_.reverse ? -1 : 1;
    if (cancelled()) return control_verdict::stop;
    phase_ = phase::layer;
    return control_verdict::go_on;
}

control_verdict live_control::fail(const char16_t* text) {
    failure_->title = JOB_TITLE_ERROR;
    failure_->text = text;
    return control_verdict::fail;
}

// L, read live; a value below 1 (also what a text that is no number gives) ends the render.
bool live_control::read_layers(std::int64_t* layers) {
    *layers = fields_.layers();
    if (*layers >= 1) return true;
    fail(JOB_LAYERS_INVALID);
    return false;
}

bool live_control::cancelled() {
    return fields_.cancel_requested() && fields_.confirm_cancel();
}

std::int32_t live_control::frames_for(std::int64_t layers) const {
    return static_cast<std::int32_t>(div_i64(total_, layers));
}

// The plan goes on as the loops would when it assumes the fields as they are now and its next
// step is the one expected; otherwise it is made again.
void live_control::follow(work_cursor* cursor, const work_step& expected, std::int64_t layers) {
    work_step next{};
    const assumed now{layers, loop_.reverse, loop_.alpha};
    if (now == planned_ && cursor->peek(&next) && same_step(next, expected)) return;
    plan_again(cursor, layers);
}

// From here on, should the fields stay as they are: the rest of the frame under way (when one
// is), its keys taken in the direction last read, then whole batches of the entries not yet taken.
void live_control::plan_again(work_cursor* cursor, std::int64_t layers) {
    planned_ = {layers, loop_.reverse, loop_.alpha};
    replanned_ = true;
    const bool begun = phase_ != phase::frame_pass;
    const std::int64_t frames = std::max<std::int64_t>(0, frames_for(layers) - frame_ + !begun);
    const std::int64_t amounts = frames > 0 ? layers : 0;
    auto batches = std::make_shared<stride_plan>(
        stride_shape{delivered_, layers, layers, loop_.reverse, frame_ + begun, frames, false},
        ramp_opacities(loop_.alpha, amounts), stack_blend);
    if (!begun) {
        *cursor = work_cursor(std::move(batches));
        return;
    }
    frame_recipe rest{frame_, false, {}};
    opacity_ramp ramp = loop_.ramp;
    std::int64_t key = loop_.key;
    for (std::int64_t slot = loop_.slot; within_batch(slot, layers); ++slot) {
        const auto found = keys_.find(key);
        const std::int64_t input = found == keys_.end() ? NO_INPUT : found->second;
        rest.layers.push_back({input, opacity_ramp_next(&ramp)});
        if (input == NO_INPUT) break; // the render ends there, unable to load it
        key += loop_.reverse ? -1 : 1;
    }
    *cursor = work_cursor(std::make_shared<opening_plan>(std::move(rest), std::move(batches)));
    work_step begun_already{};
    cursor->next(&begun_already);
}

} // namespace korvel
