// The batch host's operations. What the reports change is atomic or behind the progress display's
// lock, so the engine may report from any of its threads.
#include "batch/batch_host.h"

#include "batch/batch_signals.h"
#include "runtime/utf.h"

#include <algorithm>
#include <numeric>

namespace korvel {

namespace {

batch_job& job_of(void* host) {
    return *static_cast<batch_job*>(host);
}

void report_failure(batch_job& job, const std::string& text) {
    job.failed.store(true);
    batch_report(job, text, true);
}

bool scan_input(batch_job& job) {
    std::string problem;
    if (batch_scan_input(job.options, &job.scan, &problem)) return true;
    report_failure(job, problem);
    return false;
}

// Checked before the first frame is composed, which may take long. A clip's folder is checked as
// the clip is created, before the first frame too.
bool output_folder_usable(batch_job& job) {
    if (!job.options.output_clip.empty()) return true;
    const std::string problem = folder_problem(job.options.output_folder);
    if (problem.empty()) return true;
    report_failure(job, "Unable to use the output folder, " + job.options.output_folder + ": " +
                            problem);
    return false;
}

// The number of frames the job will save: those of the chosen range that the input count allows.
std::int32_t frames_to_render(const batch_job& job) {
    const std::int64_t frames = output_frames(job.scan.count, job.options);
    const std::int64_t last = std::min<std::int64_t>(job.options.last_frame, frames);
    return static_cast<std::int32_t>(std::max<std::int64_t>(0, last - job.options.first_frame + 1));
}

// --fps, else the input clip's rate over the inputs from one output frame to the next, else 25.
void choose_rate(batch_job& job) {
    std::int64_t num = job.options.rate_num;
    std::int64_t den = job.options.rate_den;
    if (num == 0 && job.scan.rate_num > 0) {
        num = job.scan.rate_num;
        den = std::int64_t{job.scan.rate_den} * frame_step(job.options);
    } else if (num == 0) {
        num = 25;
        den = 1;
    }
    const std::int64_t common = std::gcd(num, den);
    num /= common;
    den /= common;
    while (num > INT32_MAX || den > INT32_MAX) {
        num = std::max<std::int64_t>(num / 2, 1);
        den = std::max<std::int64_t>(den / 2, 1);
    }
    job.media.rate_num = static_cast<std::int32_t>(num);
    job.media.rate_den = static_cast<std::int32_t>(den);
}

std::int32_t open_job(void* host, render_totals* totals) {
    batch_job& job = job_of(host);
    if (!scan_input(job) || !output_folder_usable(job)) return 0;
    choose_rate(job);
    *totals = {job.scan.total.c_str(), job.scan.width.c_str(), job.scan.height.c_str()};
    const std::int32_t frames = frames_to_render(job);
    if (frames == 0 && job.scan.count >= job.options.layers) {
        batch_report(job,
                     "no frame to render: the sequence has " +
                         std::to_string(output_frames(job.scan.count, job.options)) + " frames",
                     false);
    }
    job.progress.start(frames);
    return 1;
}

void record_name(void*, std::int64_t, const char16_t*) {}
void close_job(void*) {}

void frame_range(void* host, std::int32_t* first, std::int32_t* last) {
    *first = job_of(host).options.first_frame;
    *last = job_of(host).options.last_frame;
}

const char16_t* input_folder(void* host, std::int32_t at) {
    return utf16_from_utf8_at(job_of(host).options.input_folder, at);
}

const char16_t* output_folder(void* host, std::int32_t at) {
    return utf16_from_utf8_at(job_of(host).options.output_folder, at);
}

std::int64_t layers_per_frame(void* host) {
    return job_of(host).options.layers;
}
std::int64_t alpha_levels(void* host) {
    return job_of(host).options.alpha;
}
std::int32_t reverse(void* host) {
    return job_of(host).options.reverse ? 1 : 0;
}
std::int32_t cancel_requested(void*) {
    return stop_signal_received() != 0;
}
std::int32_t confirm_cancel(void*) {
    return 1;
}

// The cause goes after the text, so that a user of the command line knows what to mend.
void fail(void* host, const char16_t*, const char16_t* text, const char* reason) {
    const std::string cause = reason && *reason ? std::string(": ") + reason : std::string();
    report_failure(job_of(host), utf8_from_utf16(text) + cause);
}

void frame_saved(void* host, std::int32_t frame, std::int32_t, const char16_t* path) {
    job_of(host).progress.frame_done(frame, utf8_from_utf16(path));
}

void job_end(void* host, std::int32_t completed) {
    job_of(host).completed.store(completed != 0);
    job_of(host).progress.finish();
}

const render_media* media(void* host) {
    return &job_of(host).media;
}

const render_host_ops batch_host_ops = {
    .open_job = open_job,
    .record_name = record_name,
    .close_job = close_job,
    .frame_range = frame_range,
    .input_folder = input_folder,
    .output_folder = output_folder,
    .layers_per_frame = layers_per_frame,
    .alpha_levels = alpha_levels,
    .reverse = reverse,
    .cancel_requested = cancel_requested,
    .confirm_cancel = confirm_cancel,
    .fail = fail,
    .frame_saved = frame_saved,
    .job_end = job_end,
    .media = media,
};

} // namespace

render_host batch_host(batch_job* job) {
    const batch_options& options = job->options;
    job->input_clip = utf16_from_utf8(options.input_clip);
    job->output_clip = utf16_from_utf8(options.output_clip);
    job->media.input_clip = options.input_clip.empty() ? nullptr : job->input_clip.c_str();
    job->media.output_clip = options.output_clip.empty() ? nullptr : job->output_clip.c_str();
    job->media.background = options.background;
    job->media.skip_existing = options.skip_existing ? 1 : 0;
    job->media.step = options.step;
    job->media.weights = options.weights.empty() ? nullptr : options.weights.data();
    job->media.weight_count = static_cast<std::int64_t>(options.weights.size());
    job->media.linear = options.linear ? 1 : 0;
    job->media.png = options.png;
    job->media.png.background = options.background;
    return {&batch_host_ops, job};
}

void batch_report(batch_job& job, const std::string& text, bool is_error) {
    job.progress.message("korvel-render: " + text, is_error);
}

} // namespace korvel
