// What the files of a render job share: the job's state, and the steps that its loop
// (render_job.cpp), its windows and weighted means (render_job_windows.cpp) and its clips and
// resuming (render_job_clips.cpp) take from one another.
#pragma once

#include "engine/clip_source.h"
#include "engine/decode_cache.h"
#include "engine/engine_limits.h"
#include "engine/frame_saver.h"
#include "engine/layer_compositor.h"
#include "engine/load_plan.h"
#include "engine/render_host.h"
#include "engine/render_job.h"
#include "engine/weighted_mean.h"
#include "image/clip_writer.h"
#include "runtime/object_table.h"
#include "runtime/strings.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace korvel::job_steps {

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

inline bool from_clip(const job& j) {
    return j.media && j.media->input_clip;
}

inline bool into_clip(const job& j) {
    return j.media && j.media->output_clip;
}

inline bool stepping(const job& j) {
    return j.step > 0;
}

// The job's loop.

// A frame handed over earlier could not be saved: the job ends with that failure, as it would have
// ended at that frame had it waited for each frame to be written. A saver closed because the
// process is ending has failed nothing, and there is nobody left to tell.
void end_with_save_failure(job& j);

// Waits for the frames handed over; true when one of them could not be saved.
bool saving_failed(job& j);

// A failure that ends the job. When a frame handed over earlier could not be saved, that is the
// failure told: it came first.
void fail(job& j, const char16_t* title, const char16_t* text, const char* reason = "");

outcome check_cancel(job& j);

// L, read live; a value below 1 (also what a text that is no number gives) ends the job.
bool read_layers(job& j, std::int64_t* layers);

bool read_reverse(job& j);

std::int64_t total_images(const job& j);

// Loads the input called name into slot; a failure ends the job.
outcome load_input(job& j, obj_number slot, const std::u16string& name);

// The name of the next input: the enumeration's next entry, or for a clip its frame number.
std::u16string next_entry_name(job& j);

// Passes over the entries of a frame that is not rendered; a window takes its own inputs.
outcome skip_frame(job& j);

// The frame's file: the output folder text, the frame number filled with zeros to the width of
// the total text, ".png"; or the clip that all frames go into.
std::u16string frame_path(const job& j, std::int32_t frame);

// Windows and weighted means.

// The output frames of the inputs, should L stay at layers: whole groups, or with a step every
// window whose last input exists.
std::int32_t frames_for(const job& j, std::int64_t layers);

std::int32_t progress_at(const job& j, std::int64_t layers, std::int32_t frame);

// Before a window is taken (with a step, or for a mean): the read-ahead is given this frame's
// loads and the next frames', as many as it holds, from the folder's listing.
void forecast_windows(job& j, std::int64_t layers);

// The name of input index, for a window that may begin before the enumeration's position. The
// names a later window may still take are kept: with running sums, those of the inputs that
// leave the sums at the next window too.
std::u16string input_name(job& j, std::int64_t index);

// A weighted mean of the window: slid from the previous window's sums when they hold it, else
// summed anew; then written onto the canvas.
outcome draw_mean(job& j);

// The sums of a weighted mean, for the canvas and L.
bool prepare_mean(job& j);

// Running sums slide from one window to the next with equal weights: the inputs that leave the
// window are taken out and the ones that enter added, instead of summing all L anew.
bool running_sums(const job& j, std::int64_t layers);

// Clips and resuming.

// Layer slot from the clip's frame of that number. The frames of the batch decoded before their
// turn are kept, and with windows that overlap those that the next window takes again; with
// running sums, all of the window, whose first inputs leave the sums at the next.
bool load_clip_layer(job& j, obj_number slot, const std::u16string& number);

// Resuming: a frame's file exists only once the frame is complete, as frames are renamed into
// place, so it is not rendered again.
bool saved_already(const job& j);

// A frame kept from an earlier run counts as saved, once the frames before it are.
outcome keep_saved_frame(job& j);

bool open_clip_input(job& j);

// The clip is written under a temporary name, like a frame, and named when complete.
bool open_clip_output(job& j);

// A job that ended early leaves no clip: closing an unfinished writer removes its file.
void finish_clip_output(job& j);

} // namespace korvel::job_steps
