// A window-like render host, so that the batch renderer's frames can be compared with what the
// window makes of the same folder and values.
#include "window_like_host.h"

#include "engine/engine_runtime.h"
#include "engine/render_job.h"
#include "runtime/utf.h"

#include <limits>
#include <mutex>

namespace korvel::test {

namespace {

struct job_state {
    window_like_render* render;
    std::u16string total, width, height;
    std::map<std::int64_t, std::u16string> job_file_names;
    std::mutex lock; // failures may be reported from the engine's saving threads
};

job_state& state_of(void* host) {
    return *static_cast<job_state*>(host);
}

std::u16string decimal(std::int64_t value) {
    return utf16_from_utf8(std::to_string(value));
}

std::int32_t open_job(void* host, render_totals* totals) {
    job_state& job = state_of(host);
    job.total = decimal(job.render->image_count);
    job.width = decimal(job.render->width);
    job.height = decimal(job.render->height);
    *totals = {job.total.c_str(), job.width.c_str(), job.height.c_str()};
    return 1;
}

void record_name(void* host, std::int64_t key, const char16_t* name) {
    state_of(host).job_file_names[key] = name;
}

void close_job(void*) {}

void every_frame(void*, std::int32_t* first, std::int32_t* last) {
    *first = 1;
    *last = std::numeric_limits<std::int32_t>::max();
}

const char16_t* input_folder(void* host, std::int32_t at) {
    return utf16_from_utf8_at(state_of(host).render->input_folder, at);
}

const char16_t* output_folder(void* host, std::int32_t at) {
    return utf16_from_utf8_at(state_of(host).render->output_folder, at);
}

std::int64_t layers_per_frame(void* host) {
    return state_of(host).render->layers;
}
std::int64_t alpha_levels(void* host) {
    return state_of(host).render->alpha;
}
std::int32_t reverse(void* host) {
    return state_of(host).render->reverse ? 1 : 0;
}
std::int32_t never_cancelled(void*) {
    return 0;
}
std::int32_t go_on(void*) {
    return 0;
}

void fail(void* host, const char16_t*, const char16_t* text) {
    job_state& job = state_of(host);
    const std::lock_guard<std::mutex> hold(job.lock);
    job.render->failures.push_back(utf8_from_utf16(text));
}

void frame_saved(void*, std::int32_t, std::int32_t, const char16_t*) {}

void job_end(void* host, std::int32_t completed) {
    state_of(host).render->completed = completed != 0;
}

const render_host_ops window_like_ops = {
    open_job,         record_name,  close_job, every_frame,     input_folder, output_folder,
    layers_per_frame, alpha_levels, reverse,   never_cancelled, go_on,        fail,
    frame_saved,      job_end,
};

} // namespace

void render_like_window(window_like_render& render) {
    engine_runtime_start();
    job_state state;
    state.render = &render;
    const render_host host{&window_like_ops, &state};
    render_job_run(&host);
}

} // namespace korvel::test
