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

#include "drawing/draw.h"
#include "engine/block_reuse.h"
#include "engine/clip_source.h"
#include "engine/decode_cache.h"
#include "engine/engine_limits.h"
#include "engine/frame_file.h"
#include "engine/frame_saver.h"
#include "engine/layer_compositor.h"
#include "engine/layer_opacity.h"
#include "engine/load_plan.h"
#include "engine/render_stats.h"
#include "engine/stale_parts.h"
#include "engine/weighted_mean.h"
#include "image/clip_writer.h"
#include "image/codec.h"
#include "image/image.h"
#include "image/image_release.h"
#include "image/load_problem.h"
#include "runtime/directory.h"
#include "runtime/error_text.h"
#include "runtime/native_name.h"
#include "runtime/numeric.h"
#include "runtime/strings.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace korvel {

namespace {

constexpr obj_number CANVAS = 0;
constexpr obj_number FIRST_LAYER = 3;
constexpr obj_number INPUT_ENUMERATION = 0;

enum class outcome { go_on, stop };

using clip_writer_ptr = std::unique_ptr<clip_writer, void (*)(clip_writer*)>;

struct job {
    job(const render_host* runner, const render_media* extras, const render_totals& texts,
        std::u16string folder)
        : host(runner), media(extras), totals(texts), folder_seen(std::move(folder)),
          step(extras ? extras->step : 0),
          weights(extras && extras->weights
                      ? std::vector<std::uint32_t>(extras->weights,
                                                   extras->weights + extras->weight_count)
                      : std::vector<std::uint32_t>()),
          shape(engine_shape_for(str_to_int(texts.width), str_to_int(texts.height))),
          allowance(shape.work_ahead), cache(shape.read_ahead, &allowance, shape.frame_bytes),
          saver(shape.in_flight, &allowance, shape.frame_bytes,
                shape.encode_bytes - shape.frame_bytes),
          compositor(shape.threads) {}

    const render_host* host;
    const render_media* media; // korvel-render's clips, windows and means; null for the window
    render_totals totals;
    // Entry names of the batch, by key (3 ... L + 2). Keys of earlier frames stay, as they would
    // in a file of keys, so a larger L read mid-frame finds what an earlier frame left.
    std::map<std::int64_t, std::u16string> names;
    bool ended = false; // a failure or a confirmed cancel ended the job
    bool drawing = false;
    bool save_failure_told = false;

    // What the forecast of the files to load is made from: the job's position and the inputs as
    // the job last read them. The forecast never reads the host itself.
    std::u16string folder_seen;
    std::shared_ptr<const name_list> listing;
    std::int32_t frame = 0;          // the frame being composed
    std::int32_t last_frame = 0;     // the host's last frame to render
    std::int64_t delivered = 0;      // entries taken from the enumeration so far
    bool reverse_seen = false;       // "Rev." as last read
    std::int64_t planned_layers = 0; // L and "Rev." that the forecast in force assumes
    bool planned_reverse = false;
    std::int64_t batch_first = 0; // the input index of the first entry of the frame's batch

    // korvel-render's sliding windows: the step between windows (0: consecutive groups), and the
    // names of inputs passed that a later window may take again, by input index.
    std::int64_t step = 0;
    std::map<std::int64_t, std::u16string> inputs_passed;
    // Its weighted means: the weights by layer (none: the fading stack), the sums, and the frame
    // whose window the sums hold, so that the next window can be slid to rather than summed anew.
    std::vector<std::uint32_t> weights;
    std::unique_ptr<weighted_mean> mean;
    std::int32_t summed_frame = 0;

    std::unique_ptr<clip_source> clip_in;
    clip_writer_ptr clip_out{nullptr, clip_writer_close}; // outlives the saver, which writes to it
    std::u16string clip_out_part;

    engine_shape shape;
    work_allowance allowance; // outlives the cache and the saver, which hold shares of it
    decode_cache cache;
    frame_saver saver;
    layer_compositor compositor;
};

bool from_clip(const job& j) {
    return j.media && j.media->input_clip;
}

bool into_clip(const job& j) {
    return j.media && j.media->output_clip;
}

void end_drawing(job& j) {
    if (j.drawing) draw_stop();
    j.drawing = false;
}

// Waits for the frames handed over; true when one of them could not be saved.
bool saving_failed(job& j) {
    j.saver.finish();
    return j.saver.failed() != 0;
}

// A frame handed over earlier could not be saved: the job ends with that failure, as it would have
// ended at that frame had it waited for each frame to be written. A saver closed because the
// process is ending has failed nothing, and there is nobody left to tell.
void end_with_save_failure(job& j) {
    end_drawing(j);
    j.saver.finish();
    j.ended = true;
    if (j.save_failure_told || !j.saver.failed()) return;
    j.save_failure_told = true;
    const std::u16string text = std::u16string(JOB_UNABLE_TO_SAVE) + j.saver.failed_path();
    j.host->ops->fail(j.host->state, JOB_TITLE_ERROR, text.c_str(), j.saver.failed_reason());
}

// A failure that ends the job. When a frame handed over earlier could not be saved, that is the
// failure told: it came first.
void fail(job& j, const char16_t* title, const char16_t* text, const char* reason = "") {
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

// L, read live; a value below 1 (also what a text that is no number gives) ends the job.
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

bool stepping(const job& j) {
    return j.step > 0;
}

// Running sums slide from one window to the next with equal weights: the inputs that leave the
// window are taken out and the ones that enter added, instead of summing all L anew.
bool running_sums(const job& j, std::int64_t layers) {
    return j.mean && stepping(j) && j.step < layers &&
           std::adjacent_find(j.weights.begin(), j.weights.end(), std::not_equal_to<>()) ==
               j.weights.end();
}

// Whether the sums hold the window of the frame before the one being composed.
bool sums_hold_previous(const job& j) {
    return j.summed_frame > 0 && j.summed_frame == j.frame - 1;
}

// The output frames of the inputs, should L stay at layers: whole groups, or with a step every
// window whose last input exists.
std::int32_t frames_for(const job& j, std::int64_t layers) {
    const std::int64_t total = total_images(j);
    if (!stepping(j)) return static_cast<std::int32_t>(div_i64(total, layers));
    if (total < layers) return 0;
    return static_cast<std::int32_t>(
        std::min<std::int64_t>((total - layers) / j.step + 1, INT32_MAX));
}

std::int32_t progress_at(const job& j, std::int64_t layers, std::int32_t frame) {
    if (stepping(j)) return job_progress(frames_for(j, layers), 1, frame);
    return job_progress(total_images(j), layers, frame);
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

// The loads of frame's window by input index, in the order the job makes them: all of the
// window, or after the window before it only the inputs that leave the sums and those that enter.
void window_loads(const job& j, std::int32_t frame, std::int64_t layers, bool slide,
                  std::vector<std::int64_t>* loads) {
    const std::int64_t step = stepping(j) ? j.step : layers;
    const std::int64_t first = std::int64_t{frame - 1} * step + 1;
    if (slide) {
        for (std::int64_t index = first - step; index < first; ++index)
            loads->push_back(index);
        for (std::int64_t index = first + layers - step; index < first + layers; ++index)
            loads->push_back(index);
        return;
    }
    for (std::int64_t position = 0; position < layers; ++position)
        loads->push_back(!j.mean && j.reverse_seen ? first + layers - 1 - position
                                                   : first + position);
}

// Before a window is taken (with a step, or for a mean): the read-ahead is given this frame's
// loads and the next frames', as many as it holds, from the folder's listing.
void forecast_windows(job& j, std::int64_t layers) {
    if (from_clip(j) || !(stepping(j) || j.mean) || !j.listing) return;
    std::vector<std::int64_t> loads;
    const bool running = running_sums(j, layers);
    const std::int32_t last = std::min(frames_for(j, layers), j.last_frame);
    for (std::int32_t frame = j.frame;
         frame <= last && loads.size() < static_cast<std::size_t>(j.shape.read_ahead); ++frame) {
        const bool slid = frame > j.frame || sums_hold_previous(j);
        window_loads(j, frame, layers, running && slid, &loads);
    }
    name_list names;
    for (const std::int64_t index : loads)
        if (index >= 1 && index <= static_cast<std::int64_t>(j.listing->size()))
            names.push_back((*j.listing)[static_cast<std::size_t>(index - 1)]);
    j.cache.plan({j.folder_seen, std::move(names), j.listing, 0, layers, false, 0});
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

std::u16string decimal_text(std::int64_t value) {
    const std::int32_t at = ws_position();
    std::u16string text(str_from_int(value, at));
    ws_restore(at);
    return text;
}

// The name of the next input: the enumeration's next entry, or for a clip its frame number.
std::u16string next_entry_name(job& j) {
    ++j.delivered;
    if (from_clip(j)) return decimal_text(j.delivered);
    dir_next_entry(INPUT_ENUMERATION);
    const std::int32_t at = ws_position();
    std::u16string name(dir_entry_name(INPUT_ENUMERATION, at));
    ws_restore(at);
    return name;
}

// The name of input index, for a window that may begin before the enumeration's position. The
// names a later window may still take are kept: with running sums, those of the inputs that
// leave the sums at the next window too.
std::u16string input_name(job& j, std::int64_t index) {
    while (j.delivered < index) {
        std::u16string name = next_entry_name(j);
        j.inputs_passed[j.delivered] = std::move(name);
    }
    j.inputs_passed.erase(j.inputs_passed.begin(),
                          j.inputs_passed.lower_bound(j.batch_first - j.step));
    const auto found = j.inputs_passed.find(index);
    return found == j.inputs_passed.end() ? std::u16string() : found->second;
}

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

// Layer slot from the clip's frame of that number. The frames of the batch decoded before their
// turn are kept, and with windows that overlap those that the next window takes again; with
// running sums, all of the window, whose first inputs leave the sums at the next.
bool load_clip_layer(job& j, obj_number slot, const std::u16string& number) {
    std::int64_t layers = 0;
    read_layers(j, &layers);
    std::int64_t keep_from = j.batch_first, reuse_from = INT64_MAX;
    if (running_sums(j, layers)) {
        keep_from = j.batch_first - j.step;
        reuse_from = j.batch_first;
    } else if (stepping(j)) {
        reuse_from = j.batch_first + j.step;
    }
    const image_handle_t frame = j.clip_in->take(str_to_int(number.c_str()), keep_from, reuse_from);
    const bitmap* pixels = bitmap_get(frame);
    return pixels && image_adopt(slot, frame, pixels->depth);
}

// Layer slot from the bitmap decoded ahead when there is one for this very file, else loaded now.
bool load_layer(job& j, obj_number slot, const std::u16string& path) {
    std::int32_t source_depth = 0;
    const image_handle_t ahead = j.cache.take(path, &source_depth);
    if (ahead && image_adopt(slot, ahead, source_depth)) return true;
    stage_timer timer(render_stage::decode);
    return image_load(slot, path.c_str()) != 0;
}

// Loads the input called name into slot; a failure ends the job.
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

outcome draw_layer(job& j, obj_number slot, const std::u16string& name, std::int32_t opacity) {
    if (load_input(j, slot, name) == outcome::stop) return outcome::stop;
    j.compositor.draw(image_handle(slot), opacity);
    image_free_completely(slot);
    return outcome::go_on;
}

// Adds the input called name to the sums with weight, or takes it out of them.
outcome sum_input(job& j, const std::u16string& name, std::uint32_t weight, bool add) {
    if (load_input(j, FIRST_LAYER, name) == outcome::stop) return outcome::stop;
    if (const bitmap* layer = bitmap_get(image_handle(FIRST_LAYER))) {
        stage_timer timer(render_stage::composite);
        if (add)
            j.mean->add(*layer, weight);
        else
            j.mean->remove(*layer, weight);
    }
    image_free_completely(FIRST_LAYER);
    return check_cancel(j);
}

// The weight of the input at position (from 0) of its window: the weights go with the order of
// drawing, so reverse order reverses them.
std::uint32_t weight_at(const job& j, std::int64_t position, std::int64_t layers) {
    return j.weights[static_cast<std::size_t>(j.reverse_seen ? layers - 1 - position : position)];
}

// A weighted mean of the window: slid from the previous window's sums when they hold it, else
// summed anew; then written onto the canvas.
outcome draw_mean(job& j) {
    std::int64_t layers = 0;
    if (!read_layers(j, &layers)) return outcome::stop;
    read_reverse(j);
    const bool slide = running_sums(j, layers) && sums_hold_previous(j);
    j.summed_frame = 0;
    if (!slide) j.mean->clear();
    const std::int64_t first = j.batch_first, enter = slide ? layers - j.step : 0;
    for (std::int64_t index = first - j.step; slide && index < first; ++index)
        if (sum_input(j, j.inputs_passed[index], j.weights[0], false) == outcome::stop)
            return outcome::stop;
    for (std::int64_t position = enter; position < layers; ++position) {
        const std::u16string& name = j.names[FIRST_LAYER + position];
        if (sum_input(j, name, weight_at(j, position, layers), true) == outcome::stop)
            return outcome::stop;
    }
    if (bitmap* canvas = bitmap_get(image_handle(CANVAS))) j.mean->write(*canvas);
    j.summed_frame = j.frame;
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

// The frame's file: the output folder text, the frame number filled with zeros to the width of
// the total text, ".png"; or the clip that all frames go into.
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

// Passes over the entries of a frame that is not rendered; a window takes its own inputs.
outcome skip_frame(job& j) {
    std::int64_t layers = 0;
    if (!read_layers(j, &layers)) return outcome::stop;
    if (stepping(j)) return outcome::go_on;
    for (std::int64_t entry = 0; entry < layers && !from_clip(j); ++entry)
        dir_next_entry(INPUT_ENUMERATION);
    j.delivered += layers;
    return outcome::go_on;
}

// Resuming: a frame's file exists only once the frame is complete, as frames are renamed into
// place, so it is not rendered again.
bool saved_already(const job& j) {
    if (!j.media || !j.media->skip_existing || into_clip(j)) return false;
    std::string native;
    struct stat status {};
    return native_name(frame_path(j, j.frame).c_str(), native) &&
           stat(native.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// A frame kept from an earlier run counts as saved, once the frames before it are.
outcome keep_saved_frame(job& j) {
    std::int64_t layers = 0;
    if (skip_frame(j) == outcome::stop || !read_layers(j, &layers)) return outcome::stop;
    if (saving_failed(j)) {
        end_with_save_failure(j);
        return outcome::stop;
    }
    const std::u16string path = frame_path(j, j.frame);
    j.host->ops->frame_saved(j.host->state, j.frame, progress_at(j, layers, j.frame), path.c_str());
    return check_cancel(j);
}

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

bool open_clip_input(job& j) {
    if (!from_clip(j)) return true;
    clip_facts facts;
    clip_reader* reader = clip_reader_open(j.media->input_clip, j.shape.threads, &facts);
    if (!reader) {
        const std::u16string text = JOB_UNABLE_TO_LOAD + std::u16string(j.media->input_clip);
        fail(j, JOB_TITLE_LOAD_ERROR, text.c_str(), load_problem());
        return false;
    }
    j.clip_in = std::make_unique<clip_source>(reader);
    return true;
}

void fail_to_save_clip(job& j, const char* problem) {
    const std::u16string text = JOB_UNABLE_TO_SAVE + std::u16string(j.media->output_clip);
    fail(j, JOB_TITLE_ERROR, text.c_str(), problem);
}

// The clip is written under a temporary name, like a frame, and named when complete.
bool open_clip_output(job& j) {
    if (!into_clip(j)) return true;
    clip_settings settings;
    settings.width = static_cast<std::int32_t>(str_to_int(j.totals.width));
    settings.height = static_cast<std::int32_t>(str_to_int(j.totals.height));
    settings.rate_num = j.media->rate_num;
    settings.rate_den = j.media->rate_den;
    settings.background = j.media->background;
    settings.threads = j.shape.threads;
    j.clip_out_part = frame_part_name(j.media->output_clip);
    const char* problem = "";
    j.clip_out.reset(clip_writer_open(j.clip_out_part.c_str(),
                                      clip_format_for(j.media->output_clip), settings, &problem));
    if (!j.clip_out) {
        fail_to_save_clip(j, problem);
        return false;
    }
    j.saver.write_into(j.clip_out.get());
    return true;
}

// A job that ended early leaves no clip: closing an unfinished writer removes its file.
void finish_clip_output(job& j) {
    if (!j.clip_out || j.ended) return;
    if (!clip_writer_finish(j.clip_out.get()))
        return fail_to_save_clip(j, clip_writer_problem(j.clip_out.get()));
    if (!frame_part_commit(j.clip_out_part.c_str(), j.media->output_clip))
        fail_to_save_clip(j, error_text(errno));
}

// The sums of a weighted mean, for the canvas and L.
bool prepare_mean(job& j) {
    if (j.weights.empty()) return true;
    std::int64_t layers = 0;
    if (!read_layers(j, &layers)) return false;
    if (static_cast<std::int64_t>(j.weights.size()) != layers) {
        fail(j, JOB_TITLE_ERROR, JOB_WEIGHTS_NOT_PER_LAYER);
        return false;
    }
    j.mean = std::make_unique<weighted_mean>(static_cast<std::int32_t>(str_to_int(j.totals.width)),
                                             static_cast<std::int32_t>(str_to_int(j.totals.height)),
                                             *std::max_element(j.weights.begin(), j.weights.end()),
                                             layers, j.media->linear != 0, j.shape.threads);
    if (j.mean->ready()) return true;
    fail(j, JOB_TITLE_ERROR, JOB_NO_MEMORY_FOR_MEAN, error_text(ENOMEM));
    return false;
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

void render_job_abandon() {
    frame_savers_close_all();
}

void render_job_run(const render_host* host) {
    const render_media* media = host->ops->media ? host->ops->media(host->state) : nullptr;
    const std::u16string folder = input_folder(host);
    if (!media || !media->input_clip) dir_examine(INPUT_ENUMERATION, folder.c_str(), u"*.png");
    render_totals totals{};
    bool ended = false;
    if (!host->ops->open_job(host->state, &totals)) {
        dir_finish(INPUT_ENUMERATION);
        return;
    }
    {
        job j(host, media, totals, folder);
        run_job(j);
        ended = j.ended;
    }
    // What the job freed need not stay with the process until the next render.
    block_reuse_hand_back();
    host->ops->close_job(host->state);
    dir_finish(INPUT_ENUMERATION);
    host->ops->job_end(host->state, ended ? 0 : 1);
}

} // namespace korvel
