// A batch render. TBB's global limit bounds every parallel part of the engine at once, so one
// setting caps the threads of decoding, compositing and encoding alike.
#include "batch/batch_render.h"

#include "batch/batch_host.h"
#include "batch/batch_signals.h"
#include "batch/batch_stats.h"
#include "engine/render_job.h"

#include <tbb/global_control.h>

#include <optional>

namespace korvel {

namespace {

int exit_status(batch_job& job) {
    if (job.failed.load()) return EXIT_RENDER_FAILED;
    const int signal = stop_signal_received();
    if (signal != 0) {
        batch_report(job,
                     "stopped after saving " + std::to_string(job.progress.done()) + " of " +
                         std::to_string(job.progress.total()) + " frames",
                     false);
        return EXIT_SIGNAL_BASE + signal;
    }
    return job.completed.load() ? EXIT_RENDERED : EXIT_RENDER_FAILED;
}

} // namespace

int batch_render(const batch_options& options) {
    stop_signals_install();
    std::optional<tbb::global_control> thread_limit;
    if (options.threads > 0) {
        thread_limit.emplace(tbb::global_control::max_allowed_parallelism,
                             static_cast<std::size_t>(options.threads));
    }
    terminal_progress progress(stderr, progress_style_for(stderr, options.quiet));
    batch_job job(options, progress);
    const render_host host = batch_host(&job);
    render_job_run(&host);
    if (options.stats) progress.message(render_stats_line(render_stats_snapshot()), true);
    return exit_status(job);
}

} // namespace korvel
