// A render job's sliding windows and weighted means: which inputs make each frame when a step
// is set, the forecast of their loads, and the sums the layers are added to and taken out of.
#include "engine/render_job_steps.h"

#include "engine/layer_opacity.h"
#include "engine/render_stats.h"
#include "image/image.h"
#include "image/image_release.h"
#include "runtime/error_text.h"
#include "runtime/numeric.h"

#include <algorithm>
#include <cerrno>
#include <functional>
#include <memory>
#include <utility>

namespace korvel::job_steps {

bool running_sums(const job& j, std::int64_t layers) {
    return j.mean && stepping(j) && j.step < layers &&
           std::adjacent_find(j.weights.begin(), j.weights.end(), std::not_equal_to<>()) ==
               j.weights.end();
}

namespace {

// Whether the sums hold the window of the frame before the one being composed.
bool sums_hold_previous(const job& j) {
    return j.summed_frame > 0 && j.summed_frame == j.frame - 1;
}

} // namespace

std::int32_t frames_for(const job& j, std::int64_t layers) {
    const std::int64_t total = total_images(j);
    if (!stepping(j)) return static_cast<std::int32_t>(div_i64(total, layers));
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(window_frames(total, layers, j.step), INT32_MAX));
}

std::int32_t progress_at(const job& j, std::int64_t layers, std::int32_t frame) {
    if (stepping(j)) return job_progress(frames_for(j, layers), 1, frame);
    return job_progress(total_images(j), layers, frame);
}

namespace {

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

} // namespace

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

namespace {

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
    if (j.mean->ready()) return check_cancel(j);
    fail(j, JOB_TITLE_ERROR, JOB_NO_MEMORY_FOR_MEAN, error_text(ENOMEM));
    return outcome::stop;
}

// The weight of the input at position (from 0) of its window: the weights go with the order of
// drawing, so reverse order reverses them.
std::uint32_t weight_at(const job& j, std::int64_t position, std::int64_t layers) {
    return j.weights[static_cast<std::size_t>(j.reverse_seen ? layers - 1 - position : position)];
}

} // namespace

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

} // namespace korvel::job_steps

namespace korvel {

std::int64_t window_frames(std::int64_t inputs, std::int64_t layers, std::int64_t step) {
    return inputs < layers ? 0 : (inputs - layers) / step + 1;
}

} // namespace korvel
