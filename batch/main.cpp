// korvel-render, the batch renderer: renders a folder of frames from the command line with the
// same render job as the window, without a display.
#include "batch/batch_input.h"
#include "batch/batch_options.h"
#include "batch/batch_plan.h"
#include "batch/batch_render.h"
#include "engine/engine_runtime.h"
#include "image/image.h"
#include "runtime/files.h"
#include "runtime/threads.h"
#include "runtime/utf.h"

#include <cstdio>

namespace korvel {
namespace {

// Frees what the render left in the tables, so that leak checkers see a clean exit.
void release_runtime() {
    images_end();
    files_end();
    threads_end();
}

int render(const batch_options& options) {
    engine_runtime_start();
    const int status = batch_render(options);
    release_runtime();
    return status;
}

// --count: the output frames, on standard output for scripts.
int count(const batch_options& options) {
    engine_runtime_start();
    std::string problem;
    bool scanned = false;
    if (const opened_input input = open_input(options, false, &problem); input.source) {
        const char16_t* unplanned = u"";
        const auto frames = output_frames(options, *input.source, &unplanned);
        scanned = frames.has_value();
        if (scanned) std::printf("%lld\n", static_cast<long long>(*frames));
        problem = utf8_from_utf16(unplanned);
    }
    if (!scanned) std::fprintf(stderr, "korvel-render: %s\n", problem.c_str());
    release_runtime();
    return scanned ? EXIT_RENDERED : EXIT_RENDER_FAILED;
}

int run(int argc, char** argv) {
    batch_options options;
    std::string error;
    switch (batch_options_parse(argc, argv, &options, &error)) {
    case batch_command::help:
        std::fputs(batch_help_text(), stdout);
        return EXIT_RENDERED;
    case batch_command::version:
        std::puts("korvel-render " KORVEL_VERSION);
        return EXIT_RENDERED;
    case batch_command::usage_error:
        std::fprintf(stderr, "korvel-render: %s (see korvel-render --help)\n", error.c_str());
        return EXIT_USAGE;
    case batch_command::count:
        return count(options);
    case batch_command::render:
        break;
    }
    return render(options);
}

} // namespace
} // namespace korvel

int main(int argc, char** argv) {
    return korvel::run(argc, argv);
}
