// The render job: walks the input folder in enumeration order, composites each group of L entries
// onto a fresh canvas and saves it as a numbered PNG. Every input is read from the host at the
// moment it is used, so edits made during a render take effect at the next read.
//
// The job itself runs on one thread, in exactly that order; what other cores do is work that
// cannot change a byte of it: decoding the files the job is expected to load next (a forecast made
// from what the job has read anyway, checked against each file as it is taken), blending the rows
// of a large layer, and encoding finished frames while the next one is built. Before the job ends,
// in every way it can end, each frame handed over is complete on disk.
#include "engine/render_job.h"

#include "engine/render_job_steps.h"

#include "drawing/draw.h"
#include "engine/block_reuse.h"
#include "engine/layer_opacity.h"
#include "engine/render_stats.h"
#include "engine/stale_parts.h"
#include "image/codec.h"
#include "image/image.h"
#include "image/image_release.h"
#include "image/load_problem.h"
#include "runtime/directory.h"

#include <algorithm>
#include <utility>

namespace korvel {
namespace job_steps {

namespace {

void end_drawing(job& j) {
    if (j.drawing) draw_stop();
    j.drawing = false;
}

} // namespace

bool saving_failed(job& j) {
    j.saver.finish();
    return j.saver.failed() != 0;
}

void end_with_save_failure(job& j) {
    end_drawing(j);
    j.saver.finish();
    j.ended = true;
    if (j.save_failure_told || !j.saver.failed()) return;
    j.save_failure_told = true;
    const std::u16string text = std::u16string(JOB_UNABLE_TO_SAVE) + j.saver.failed_path();
    j.host->ops->fail(j.host->state, JOB_TITLE_ERROR, text.c_str(), j.saver.failed_reason());
}

void fail(job& j, const char16_t* title, const char16_t* text, const char* reason) {
    if (saving_failed(j)) return end_with_save_failure(j);
    end_drawing(j);
    j.host->ops->fail(j.host->state, title, text, reason);
    j.ended = true;
}

outcome check_cancel(job& j) {
    if (j.ended) return outcome::stop;
    if (j.saver.failed()) {
        end_with_save_failure(j);
        return outcome::stop;
    }
    if (!j.host->ops->cancel_requested(j.host->state)) return outcome::go_on;
    if (!j.host->ops->confirm_cancel(j.host->state)) return outcome::go_on;
    end_drawing(j);
    j.ended = true;
    return outcome::stop;
}

bool read_layers(job& j, std::int64_t* layers) {
    *layers = j.host->ops->layers_per_frame(j.host->state);
    if (*layers >= 1) return true;
    fail(j, JOB_TITLE_ERROR, JOB_LAYERS_INVALID);
    return false;
}

bool read_reverse(job& j) {
    j.reverse_seen = j.host->ops->reverse(j.host->state) != 0;
    return j.reverse_seen;
}

std::int64_t total_images(const job& j) {
    return str_to_int(j.totals.total);
}

namespace {

std::u16string input_folder(const render_host* host) {
    const std::int32_t at = ws_position();
    std::u16string folder(host->ops->input_folder(host->state, at));
    ws_restore(at);
    return folder;
}

// Whether key lies in a batch of L layers (keys 3 to L + 2), compared in 32 bits as the loops
// compare it.
bool within_batch(std::int64_t key, std::int64_t layers) {
    return static_cast<std::int32_t>(key) <= static_cast<std::int32_t>(layers + FIRST_LAYER - 1);
}

// The frames still to render from frame on (itself included), should L stay at layers.
std::int64_t frames_from(const job& j, std::int64_t layers, std::int32_t frame) {
    const std::int32_t by_count = frames_for(j, layers);
    return std::max<std::int64_t>(0, std::int64_t{std::min(by_count, j.last_frame)} - frame + 1);
}

// A clip is decoded in order as the job goes, so there is nothing to forecast; windows are
// forecast on their own.
void forecast(job& j, name_list current, std::int64_t layers, std::int64_t frames) {
    if (from_clip(j) || stepping(j) || j.mean) return;
    j.planned_layers = layers;
    j.planned_reverse = j.reverse_seen;
    j.cache.plan({j.folder_seen, std::move(current), j.listing, j.delivered, layers, j.reverse_seen,
                  frames});
}

// Before a frame's batch is taken: whole batches from the enumeration's position on. Needed only
// when the forecast in force did not already foresee them.
void forecast_batches(job& j, std::int64_t layers) {
    if (layers != j.planned_layers || j.reverse_seen != j.planned_reverse)
        forecast(j, {}, layers, frames_from(j, layers, j.frame));
}

// Inside the layer loop, before slot is loaded from key index: the rest of this frame's layers
// stepping as "Rev." was last read, then the frames after it.
void forecast_rest_of_frame(job& j, std::int64_t index, std::int64_t slot, std::int64_t layers) {
    name_list current;
    const std::int64_t step = j.reverse_seen ? -1 : 1;
    for (; within_batch(slot, layers); ++slot, index += step) {
        const auto found = j.names.find(index);
        if (found == j.names.end()) break;
        current.push_back(found->second);
    }
    forecast(j, std::move(current), layers, frames_from(j, layers, j.frame + 1));
}

bool create_canvas(job& j) {
    const std::int64_t width = str_to_int(j.totals.width);
    const std::int64_t height = str_to_int(j.totals.height);
    const bool fits = width >= 1 && height >= 1 && width <= 32767 && height <= 32767;
    if (!fits || !image_create(CANVAS, static_cast<std::int32_t>(width),
                               static_cast<std::int32_t>(height), IMAGE_TRANSPARENT | 32)) {
        fail(j, JOB_TITLE_ERROR, JOB_NO_RESOLUTION);
        return false;
    }
    j.drawing = draw_start(image_output(CANVAS)) != 0;
    draw_mode(0);
    return true;
}

} // namespace

std::u16string next_entry_name(job& j) {
    ++j.delivered;
    if (from_clip(j)) return str_decimal(j.delivered);
    dir_next_entry(INPUT_ENUMERATION);
    const std::int32_t at = ws_position();
    std::u16string name(dir_entry_name(INPUT_ENUMERATION, at));
    ws_restore(at);
    return name;
}

namespace {

// Takes the frame's batch: the next L entries of the enumeration, or with a step the frame's
// window.
outcome collect_batch(job& j) {
    std::int64_t layers = 0;
    j.batch_first = stepping(j) ? std::int64_t{j.frame - 1} * j.step + 1 : j.delivered + 1;
    for (std::int64_t key = FIRST_LAYER; read_layers(j, &layers) && within_batch(key, layers);
         ++key) {
        j.names[key] =
            stepping(j) ? input_name(j, j.batch_first + key - FIRST_LAYER) : next_entry_name(j);
        j.host->ops->record_name(j.host->state, key, j.names[key].c_str());
        if (check_cancel(j) == outcome::stop) return outcome::stop;
    }
    return j.ended ? outcome::stop : outcome::go_on;
}

// Layer slot from the bitmap decoded ahead when there is one for this very file, else loaded now.
bool load_layer(job& j, obj_number slot, const std::u16string& path) {
    std::int32_t source_depth = 0;
    const image_handle_t ahead = j.cache.take(path, &source_depth);
    if (ahead && image_adopt(slot, ahead, source_depth)) return true;
    stage_timer timer(render_stage::decode);
    return image_load(slot, path.c_str()) != 0;
}

} // namespace

outcome load_input(job& j, obj_number slot, const std::u16string& name) {
    j.folder_seen = input_folder(j.host);
    const bool loaded =
        from_clip(j) ? load_clip_layer(j, slot, name) : load_layer(j, slot, j.folder_seen + name);
    if (loaded) return outcome::go_on;
    const std::u16string text =
        from_clip(j) ? JOB_UNABLE_TO_LOAD + std::u16string(j.media->input_clip) + u", frame " + name
                     : JOB_UNABLE_TO_LOAD + j.folder_seen + name;
    fail(j, JOB_TITLE_LOAD_ERROR, text.c_str(), load_problem());
    return outcome::stop;
}

namespace {

outcome draw_layer(job& j, obj_number slot, const std::u16string& name, std::int32_t opacity) {
    if (load_input(j, slot, name) == outcome::stop) return outcome::stop;
    j.compositor.draw(image_handle(slot), opacity);
    image_free_completely(slot);
    return outcome::go_on;
}

outcome draw_layers(job& j) {
    if (j.mean) return draw_mean(j);
    std::int64_t layers = 0;
    if (!read_layers(j, &layers)) return outcome::stop;
    std::int64_t index = read_reverse(j) ? layers + FIRST_LAYER - 1 : FIRST_LAYER;
    const std::int64_t alpha_levels = j.host->ops->alpha_levels(j.host->state);
    if (!read_layers(j, &layers)) return outcome::stop;
    opacity_ramp ramp = opacity_ramp_start(alpha_levels, layers);
    forecast_rest_of_frame(j, index, FIRST_LAYER, layers);
    for (std::int64_t slot = FIRST_LAYER; read_layers(j, &layers) && within_batch(slot, layers);
         ++slot) {
        if (layers != j.planned_layers || j.reverse_seen != j.planned_reverse)
            forecast_rest_of_frame(j, index, slot, layers);
        const auto found = j.names.find(index);
        const std::u16string name = found == j.names.end() ? std::u16string() : found->second;
        if (draw_layer(j, slot, name, opacity_ramp_next(&ramp)) == outcome::stop)
            return outcome::stop;
        index += read_reverse(j) ? -1 : 1;
        if (check_cancel(j) == outcome::stop) return outcome::stop;
    }
    return j.ended ? outcome::stop : outcome::go_on;
}

} // namespace

std::u16string frame_path(const job& j, std::int32_t frame) {
    if (into_clip(j)) return j.media->output_clip;
    const std::int32_t at = ws_position();
    j.host->ops->output_folder(j.host->state, at);
    const std::int32_t number_at = ws_position();
    str_from_int(frame, number_at);
    str_pad_left(ws_text(number_at), str_len(j.totals.total), u"0", number_at);
    str_append(u".png");
    std::u16string path(ws_text(at));
    ws_restore(at);
    return path;
}

namespace {

// The frame's progress, told once its file is complete under its name, from L as it is when the
// frame is handed over; nothing when L is no longer valid, which ends the job after this frame.
frame_named progress_teller(const job& j, const std::u16string& path) {
    const std::int64_t layers = j.host->ops->layers_per_frame(j.host->state);
    if (layers < 1) return {};
    const std::int32_t percent = progress_at(j, layers, j.frame);
    return [host = j.host, frame = j.frame, percent, path] {
        host->ops->frame_saved(host->state, frame, percent, path.c_str());
    };
}

// The finished canvas leaves image 0 for the saver, which encodes it while the job goes on.
outcome save_frame(job& j) {
    const std::u16string path = frame_path(j, j.frame);
    end_drawing(j);
    frame_named tell = progress_teller(j, path);
    if (!j.saver.hand_over(image_detach(CANVAS), path, std::move(tell)) || j.saver.failed()) {
        end_with_save_failure(j);
        return outcome::stop;
    }
    std::int64_t layers = 0;
    return read_layers(j, &layers) ? outcome::go_on : outcome::stop;
}

outcome render_frame(job& j, std::int64_t layers) {
    forecast_batches(j, layers);
    forecast_windows(j, layers);
    if (!create_canvas(j)) return outcome::stop;
    if (collect_batch(j) == outcome::stop) return outcome::stop;
    if (draw_layers(j) == outcome::stop) return outcome::stop;
    if (save_frame(j) == outcome::stop) return outcome::stop;
    return check_cancel(j);
}

} // namespace

outcome skip_frame(job& j) {
    std::int64_t layers = 0;
    if (!read_layers(j, &layers)) return outcome::stop;
    if (stepping(j)) return outcome::go_on;
    for (std::int64_t entry = 0; entry < layers && !from_clip(j); ++entry)
        dir_next_entry(INPUT_ENUMERATION);
    j.delivered += layers;
    return outcome::go_on;
}

namespace {

// Frames while frame <= total / L (recomputed before every frame, as L is read live).
void render_frames(job& j) {
    std::int64_t layers = 0;
    if (!read_layers(j, &layers)) return;
    if (frames_for(j, layers) < 1) {
        fail(j, JOB_TITLE_ERROR, JOB_LAYERS_TOO_MANY);
        return;
    }
    std::int32_t first = 1;
    j.host->ops->frame_range(j.host->state, &first, &j.last_frame);
    for (j.frame = 1;
         j.frame <= j.last_frame && read_layers(j, &layers) && j.frame <= frames_for(j, layers);
         ++j.frame) {
        const outcome done = j.frame < first    ? skip_frame(j)
                             : saved_already(j) ? keep_saved_frame(j)
                                                : render_frame(j, layers);
        if (done == outcome::stop) return;
    }
}

// Temporary files that a killed render left where this one writes its frames.
void remove_stale_parts(const job& j) {
    if (into_clip(j)) return stale_parts_remove(j.media->output_clip);
    const std::int32_t at = ws_position();
    stale_parts_remove(j.host->ops->output_folder(j.host->state, at));
    ws_restore(at);
}

// Runs the job's frames; before it returns, every frame handed over is complete (or its failure
// told) and nothing decoded ahead is left.
void run_job(job& j) {
    if (!from_clip(j)) j.listing = png_listing(j.folder_seen.c_str());
    remove_stale_parts(j);
    if (j.media) j.saver.write_as(j.media->png);
    if (open_clip_input(j) && open_clip_output(j) && prepare_mean(j)) render_frames(j);
    if (saving_failed(j)) end_with_save_failure(j);
    finish_clip_output(j);
    j.cache.release_all();
}

} // namespace

} // namespace job_steps

void render_job_abandon() {
    frame_savers_close_all();
}

void render_job_run(const render_host* host) {
    using job_steps::INPUT_ENUMERATION;
    const render_media* media = host->ops->media ? host->ops->media(host->state) : nullptr;
    const std::u16string folder = job_steps::input_folder(host);
    if (!media || !media->input_clip) dir_examine(INPUT_ENUMERATION, folder.c_str(), u"*.png");
    render_totals totals{};
    bool ended = false;
    if (!host->ops->open_job(host->state, &totals)) {
        dir_finish(INPUT_ENUMERATION);
        return;
    }
    {
        job_steps::job j(host, media, totals, folder);
        job_steps::run_job(j);
        ended = j.ended;
    }
    // What the job freed need not stay with the process until the next render.
    block_reuse_hand_back();
    host->ops->close_job(host->state);
    dir_finish(INPUT_ENUMERATION);
    host->ops->job_end(host->state, ended ? 0 : 1);
}

} // namespace korvel
