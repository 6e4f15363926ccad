// The render host of korvel-render: inputs fixed by the command line, the input scan kept in
// memory (no job file is written), reports on standard error.
#pragma once

#include "batch/batch_options.h"
#include "batch/batch_scan.h"
#include "batch/terminal_progress.h"
#include "engine/render_host.h"

#include <atomic>

namespace korvel {

struct batch_job {
    batch_job(const batch_options& chosen, terminal_progress& shown)
        : options(chosen), progress(shown) {}

    const batch_options& options;
    terminal_progress& progress;
    batch_scan_result scan;
    std::u16string input_clip; // the options' clips as the engine takes paths
    std::u16string output_clip;
    render_media media{};
    std::atomic<bool> failed{false};    // a failure was reported
    std::atomic<bool> completed{false}; // the job ran to its end
};

// The host of job, whose media it sets from the options.
render_host batch_host(batch_job* job);

// "korvel-render: " and text on a line of its own; errors are shown even when quiet.
void batch_report(batch_job& job, const std::string& text, bool is_error);

} // namespace korvel
