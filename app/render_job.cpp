// The render job: walks the input folder in enumeration order, composites each group of L entries
// onto a fresh canvas and saves it as a numbered PNG. Every input is read from the host at the
// moment it is used, so edits made during a render take effect at the next read.
#include "app/render_job.h"

#include "app/frame_file.h"
#include "app/layer_opacity.h"
#include "app/image_release.h"
#include "drawing/draw.h"
#include "image/codec.h"
#include "image/image.h"
#include "runtime/directory.h"
#include "runtime/numeric.h"
#include "runtime/strings.h"

#include <map>
#include <string>

namespace korvel {

namespace {

constexpr obj_number CANVAS = 0;
constexpr obj_number FIRST_LAYER = 3;
constexpr obj_number INPUT_ENUMERATION = 0;

enum class outcome { go_on, stop };

struct job {
    const render_host* host = nullptr;
    render_totals totals{};
    // Entry names of the batch, by key (3 ... L + 2). Keys of earlier frames stay, as they would
    // in a file of keys, so a larger L read mid-frame finds what an earlier frame left.
    std::map<std::int64_t, std::u16string> names;
    bool ended = false; // a failure or a confirmed cancel ended the job
    bool drawing = false;
};

void end_drawing(job& j) {
    if (j.drawing) draw_stop();
    j.drawing = false;
}

void fail(job& j, const char16_t* title, const char16_t* text) {
    end_drawing(j);
    j.host->ops->fail(j.host->state, title, text);
    j.ended = true;
}

// fail() with a text built from pieces in the workspace.
void fail_with(job& j, const char16_t* title, const char16_t* first, const char16_t* second,
               const char16_t* third) {
    const std::int32_t at = ws_position();
    str_append(first);
    str_append(second);
    str_append(third);
    ws_finish();
    const std::u16string text(ws_text(at));
    ws_restore(at);
    fail(j, title, text.c_str());
}

outcome check_cancel(job& j) {
    if (j.ended) return outcome::stop;
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

std::int64_t total_images(const job& j) { return str_to_int(j.totals.total); }

std::u16string input_folder(const job& j) {
    const std::int32_t at = ws_position();
    std::u16string folder(j.host->ops->input_folder(j.host->state, at));
    ws_restore(at);
    return folder;
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

// Takes the next L entries of the enumeration as the frame's batch.
outcome collect_batch(job& j) {
    std::int64_t layers = 0;
    for (std::int64_t key = FIRST_LAYER; read_layers(j, &layers) &&
                                         static_cast<std::int32_t>(key) <=
                                             static_cast<std::int32_t>(layers + FIRST_LAYER - 1);
         ++key) {
        dir_next_entry(INPUT_ENUMERATION);
        const std::int32_t at = ws_position();
        dir_entry_name(INPUT_ENUMERATION, at);
        j.names[key] = ws_text(at);
        ws_restore(at);
        j.host->ops->record_name(j.host->state, key, j.names[key].c_str());
        if (check_cancel(j) == outcome::stop) return outcome::stop;
    }
    return j.ended ? outcome::stop : outcome::go_on;
}

outcome draw_layer(job& j, obj_number slot, const std::u16string& name, std::int32_t opacity) {
    const std::u16string folder = input_folder(j);
    const std::u16string path = folder + name;
    if (!image_load(slot, path.c_str())) {
        fail_with(j, JOB_TITLE_LOAD_ERROR, JOB_UNABLE_TO_LOAD, folder.c_str(), name.c_str());
        return outcome::stop;
    }
    draw_image_alpha(image_handle(slot), 0, 0, opacity);
    image_free_completely(slot);
    return outcome::go_on;
}

outcome draw_layers(job& j) {
    std::int64_t layers = 0;
    if (!read_layers(j, &layers)) return outcome::stop;
    std::int64_t index = j.host->ops->reverse(j.host->state) ? layers + FIRST_LAYER - 1
                                                               : FIRST_LAYER;
    const std::int64_t alpha_levels = j.host->ops->alpha_levels(j.host->state);
    if (!read_layers(j, &layers)) return outcome::stop;
    opacity_ramp ramp = opacity_ramp_start(alpha_levels, layers);
    for (std::int64_t slot = FIRST_LAYER; read_layers(j, &layers) &&
                                          static_cast<std::int32_t>(slot) <=
                                              static_cast<std::int32_t>(layers + FIRST_LAYER - 1);
         ++slot) {
        const auto found = j.names.find(index);
        const std::u16string name = found == j.names.end() ? std::u16string() : found->second;
        if (draw_layer(j, slot, name, opacity_ramp_next(&ramp)) == outcome::stop)
            return outcome::stop;
        index += j.host->ops->reverse(j.host->state) ? -1 : 1;
        if (check_cancel(j) == outcome::stop) return outcome::stop;
    }
    return j.ended ? outcome::stop : outcome::go_on;
}

// The frame's file: the output folder text, the frame number filled with zeros to the width of
// the total text, ".png".
std::u16string frame_path(const job& j, std::int32_t frame) {
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

outcome save_frame(job& j, std::int32_t frame) {
    const std::u16string path = frame_path(j, frame);
    if (!frame_file_save(CANVAS, path.c_str())) {
        fail_with(j, JOB_TITLE_ERROR, JOB_UNABLE_TO_SAVE, path.c_str(), u"");
        return outcome::stop;
    }
    std::int64_t layers = 0;
    if (!read_layers(j, &layers)) return outcome::stop;
    j.host->ops->frame_saved(j.host->state, frame,
                             job_progress(total_images(j), layers, frame));
    return outcome::go_on;
}

outcome render_frame(job& j, std::int32_t frame) {
    if (!create_canvas(j)) return outcome::stop;
    if (collect_batch(j) == outcome::stop) return outcome::stop;
    if (draw_layers(j) == outcome::stop) return outcome::stop;
    if (save_frame(j, frame) == outcome::stop) return outcome::stop;
    end_drawing(j);
    image_free_completely(CANVAS);
    return check_cancel(j);
}

// Passes over the entries of a frame that is not rendered.
outcome skip_frame(job& j) {
    std::int64_t layers = 0;
    if (!read_layers(j, &layers)) return outcome::stop;
    for (std::int64_t entry = 0; entry < layers; ++entry) dir_next_entry(INPUT_ENUMERATION);
    return outcome::go_on;
}

// Frames while frame <= total / L (recomputed before every frame, as L is read live).
void render_frames(job& j) {
    std::int64_t layers = 0;
    if (!read_layers(j, &layers)) return;
    if (static_cast<std::int32_t>(div_i64(total_images(j), layers)) < 1) {
        fail(j, JOB_TITLE_ERROR, JOB_LAYERS_TOO_MANY);
        return;
    }
    std::int32_t first = 1;
    std::int32_t last = 0;
    j.host->ops->frame_range(j.host->state, &first, &last);
    for (std::int32_t frame = 1; frame <= last && read_layers(j, &layers) &&
                                 frame <= static_cast<std::int32_t>(
                                              div_i64(total_images(j), layers));
         ++frame) {
        const outcome done = frame < first ? skip_frame(j) : render_frame(j, frame);
        if (done == outcome::stop) return;
    }
}

} // namespace

void render_job_run(const render_host* host) {
    job j;
    j.host = host;
    const std::u16string folder = input_folder(j);
    dir_examine(INPUT_ENUMERATION, folder.c_str(), u"*.png");
    if (!host->ops->open_job(host->state, &j.totals)) {
        dir_finish(INPUT_ENUMERATION);
        return;
    }
    render_frames(j);
    host->ops->close_job(host->state);
    dir_finish(INPUT_ENUMERATION);
    host->ops->job_end(host->state, j.ended ? 0 : 1);
}

} // namespace korvel
