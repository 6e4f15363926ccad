// The render's loop. It knows no kind of plan, source, sink or blending: it carries out steps.
#include "engine/render_run.h"

#include "engine/block_reuse.h"
#include "engine/engine_limits.h"
#include "engine/frame_saver.h"
#include "engine/job_messages.h"
#include "image/image.h"
#include "image/load_problem.h"
#include "runtime/error_text.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <utility>

namespace korvel {

namespace {

constexpr obj_number CANVAS = 0;

blend_setup setup_for(const render_parts& parts, const engine_shape& shape,
                      const frame_plan* plan) {
    return {parts.width, parts.height, plan ? plan->largest_amount() : 0,
            plan ? plan->most_layers() : 0, shape.threads};
}

class render_loop {
public:
    render_loop(const render_parts& parts, const blend_rule& rule, const frame_plan* plan)
        : parts_(parts),
          shape_(engine_shape_for(parts.width, parts.height,
                                  parts.sink->workspace_bytes(std::clamp(parts.width, 1, 32767),
                                                              std::clamp(parts.height, 1, 32767)))),
          allowance_(shape_.work_ahead),
          saver_(parts.sink,
                 {shape_.in_flight, shape_.encoders, shape_.frame_bytes,
                  shape_.encode_bytes - shape_.frame_bytes},
                 &allowance_),
          budget_{shape_.read_ahead, &allowance_, shape_.frame_bytes},
          blender_(rule.make(setup_for(parts, shape_, plan))) {}

    render_end run(work_cursor cursor);

private:
    std::optional<render_end> steer(work_cursor* cursor);
    bool carry_out(const work_step& step);
    bool start_frame(bool resumed);
    bool load(const work_step& step);
    bool save(const work_step& step);
    bool keep(const work_step& step);
    render_end finish();
    render_end fail(const char16_t* title, const std::u16string& text, const char* reason);
    render_end saving_failed();

    const render_parts& parts_;
    engine_shape shape_;
    work_allowance allowance_; // outlives the saver and the read-ahead, which hold shares of it
    frame_saver saver_;
    read_ahead_budget budget_;
    std::unique_ptr<frame_blender> blender_;
    bool save_failure_told_ = false;
    bool input_ended_ = false;
};

render_end render_loop::run(work_cursor cursor) {
    if (cursor.plan()) parts_.source->expect(cursor, budget_);
    if (!blender_->ready())
        return fail(JOB_TITLE_ERROR, JOB_NO_MEMORY_FOR_MEAN, error_text(ENOMEM));
    for (;;) {
        if (saver_.failed()) return saving_failed();
        if (const std::optional<render_end> ended = steer(&cursor)) return *ended;
        work_step step{};
        if (!cursor.next(&step)) return finish();
        if (!carry_out(step)) return input_ended_ ? finish() : render_end::failed;
    }
}

// How the render ends when the control ends it; nothing when it goes on.
std::optional<render_end> render_loop::steer(work_cursor* cursor) {
    job_failure failure;
    switch (parts_.control->before_step(cursor, &failure)) {
    case control_verdict::go_on:
        return std::nullopt;
    case control_verdict::replanned:
        parts_.source->expect(*cursor, budget_);
        return std::nullopt;
    case control_verdict::end:
        return finish();
    case control_verdict::stop:
        blender_->abandon();
        saver_.finish();
        return saver_.failed() ? saving_failed() : render_end::stopped;
    case control_verdict::fail:
        break;
    }
    return fail(failure.title, failure.text, "");
}

bool render_loop::carry_out(const work_step& step) {
    switch (step.kind) {
    case step_kind::begin:
    case step_kind::resume:
        return start_frame(step.kind == step_kind::resume);
    case step_kind::draw:
    case step_kind::take_out:
        return load(step);
    case step_kind::save:
        return save(step);
    case step_kind::keep:
        return keep(step);
    }
    return false;
}

// A frame made by an earlier run counts as saved once the frames before it are.
bool render_loop::keep(const work_step& step) {
    const std::u16string path = parts_.sink->frame_path(step.frame);
    if (saver_.keep(path, parts_.report->handed_over(step.frame, path))) return true;
    saving_failed();
    return false;
}

bool render_loop::start_frame(bool resumed) {
    const bool fits =
        parts_.width >= 1 && parts_.height >= 1 && parts_.width <= 32767 && parts_.height <= 32767;
    if (!fits || !image_create(CANVAS, parts_.width, parts_.height, IMAGE_TRANSPARENT | 32)) {
        fail(JOB_TITLE_ERROR, JOB_NO_RESOLUTION, "");
        return false;
    }
    blender_->start(CANVAS, resumed);
    return true;
}

bool render_loop::load(const work_step& step) {
    const image_handle_t layer = parts_.source->take(step.input);
    if (!layer && parts_.source->ended()) {
        // A stream ended: the frame it left unfinished is not made.
        blender_->abandon();
        input_ended_ = true;
        return false;
    }
    if (!layer) {
        fail(JOB_TITLE_LOAD_ERROR, JOB_UNABLE_TO_LOAD + parts_.source->describe(step.input),
             load_problem());
        return false;
    }
    const bool applied = blender_->apply(step, layer);
    bitmap_delete(layer);
    if (applied) return true;
    fail(JOB_TITLE_ERROR, JOB_NO_MEMORY_FOR_MEAN, error_text(ENOMEM));
    return false;
}

// The finished canvas leaves image 0 for the saver, which writes it while the job goes on.
bool render_loop::save(const work_step& step) {
    blender_->finish();
    const std::u16string path = parts_.sink->frame_path(step.frame);
    frame_named tell = parts_.report->handed_over(step.frame, path);
    if (saver_.hand_over(image_detach(CANVAS), path, std::move(tell)) && !saver_.failed())
        return true;
    saving_failed();
    return false;
}

render_end render_loop::finish() {
    saver_.finish();
    if (saver_.failed()) return saving_failed();
    std::string problem;
    if (parts_.sink->finish(&problem)) return render_end::completed;
    return fail(JOB_TITLE_ERROR, JOB_UNABLE_TO_SAVE + parts_.sink->frame_path(0), problem.c_str());
}

// A failure that ends the render. When a frame handed over earlier could not be saved, that is
// the failure told: it came first, and the render would have ended there had it waited for each
// frame to be written.
render_end render_loop::fail(const char16_t* title, const std::u16string& text,
                             const char* reason) {
    blender_->abandon();
    saver_.finish();
    if (saver_.failed()) return saving_failed();
    parts_.report->failed(title, text, reason);
    return render_end::failed;
}

// A saver closed because the process is ending has failed nothing, and nobody is left to tell.
render_end render_loop::saving_failed() {
    blender_->abandon();
    saver_.finish();
    if (save_failure_told_ || !saver_.failed()) return render_end::failed;
    save_failure_told_ = true;
    parts_.report->failed(JOB_TITLE_ERROR, JOB_UNABLE_TO_SAVE + saver_.failed_path(),
                          saver_.failed_reason());
    return render_end::failed;
}

} // namespace

render_end render_run(const render_parts& parts, const blend_rule& rule, work_cursor start) {
    render_end end = render_end::failed;
    {
        render_loop loop(parts, rule, start.plan());
        end = loop.run(std::move(start));
        parts.source->stop_reading_ahead();
    }
    // What the render freed need not stay with the process until the next one.
    block_reuse_hand_back();
    return end;
}

void render_abandon() {
    frame_savers_close_all();
}

} // namespace korvel
