// A batch render: INPUT opened as a source, OUTPUT as a sink, the settings made a plan, and the
// engine's render run over them. TBB's global limit bounds every parallel part of the engine at
// once, so one setting caps the threads of decoding, compositing and encoding alike.
#include "batch/batch_render.h"

#include "batch/batch_input.h"
#include "batch/batch_plan.h"
#include "batch/batch_signals.h"
#include "batch/batch_stats.h"
#include "batch/terminal_progress.h"
#include "engine/clip_sink.h"
#include "engine/engine_limits.h"
#include "engine/job_messages.h"
#include "engine/png_sink.h"
#include "engine/render_run.h"
#include "engine/sound_beside_sink.h"
#include "engine/stride_plan.h"
#include "engine/time_plan.h"
#include "image/clip_library.h"
#include "runtime/utf.h"

#include <tbb/global_control.h>

#include <algorithm>
#include <atomic>
#include <numeric>
#include <optional>

namespace korvel {

namespace {

// Ctrl+C and SIGTERM stop the render between two steps, once the frames under way are saved.
class stop_on_signal final : public render_control {
public:
    control_verdict before_step(work_cursor*, job_failure*) override {
        return stop_signal_received() ? control_verdict::stop : control_verdict::go_on;
    }
};

// Failures as one line each, with the cause after the text so that a user of the command line
// knows what to mend; progress on the terminal. Safe from any of the engine's threads.
class terminal_report final : public render_report {
public:
    explicit terminal_report(terminal_progress& progress) : progress_(progress) {}

    void failed(const char16_t*, const std::u16string& text, const char* reason) override {
        const std::string cause = reason && *reason ? std::string(": ") + reason : std::string();
        note_failure(utf8_from_utf16(text.c_str()) + cause);
    }

    frame_named handed_over(std::int32_t frame, const std::u16string& path) override {
        return [this, frame, shown = utf8_from_utf16(path.c_str())] {
            progress_.frame_done(frame, shown);
        };
    }

    void note_failure(const std::string& line) {
        failed_.store(true);
        note(line, true);
    }
    void note(const std::string& line, bool is_error) {
        progress_.message("korvel-render: " + line, is_error);
    }
    bool any_failed() const { return failed_.load(); }

private:
    terminal_progress& progress_;
    std::atomic<bool> failed_{false};
};

// --fps, else the input clip's rate over the inputs from one output frame to the next, else 25.
output_settings with_rate(const batch_options& options, const source_facts& facts) {
    output_settings output = options.output;
    std::int64_t num = output.rate_num;
    std::int64_t den = output.rate_den;
    if (num == 0 && facts.rate_num > 0) {
        num = facts.rate_num;
        den = std::int64_t{facts.rate_den} * frame_step(options.blur);
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
    output.rate_num = static_cast<std::int32_t>(num);
    output.rate_den = static_cast<std::int32_t>(den);
    return output;
}

// Where the sound of the first output frame of a blur by time begins: at its time T on the
// inputs' timeline, which is the clip's own or a rate given to its frames.
clip_time sound_start_by_time(const batch_options& options, const opened_input& input) {
    const auto timeline = input_timeline_for(options.time, *input.source);
    std::int64_t first = 0, frame_ticks = 0, inputs = 0;
    rational after, position;
    if (!timeline || !timeline->start_of(0, &first) ||
        !first_frame_after_start(options.time, timeline->time_base(), options.frames, &after))
        return {};
    if (timeline->constant(&frame_ticks, &inputs))
        return rational_over(after, {frame_ticks, 1}, &position) ? input.clip->time_of(position)
                                                                 : clip_time{};
    const rational base = timeline->time_base();
    const std::int64_t nearest = (after.num + after.den / 2) / after.den;
    return {first + nearest, static_cast<std::int32_t>(base.num),
            static_cast<std::int32_t>(base.den)};
}

// Where the sound of the plan's first output frame begins: at its first input, or by time at
// the frame's own time.
clip_time sound_start(const batch_options& options, const opened_input& input,
                      const std::shared_ptr<const frame_plan>& plan) {
    if (!input.clip) return {};
    if (by_time(options.time)) return sound_start_by_time(options, input);
    const std::int64_t first = work_cursor(plan).lowest_load_ahead();
    return input.clip->time_of(first == NO_LOAD ? 0 : first);
}

// The input's sound, when one is wanted: into a clip OUTPUT (unless --no-audio) or beside PNG
// frames.
bool wants_sound(const batch_options& options) {
    const batch_paths& paths = options.paths;
    return !paths.input_clip.empty() &&
           ((!paths.output_clip.empty() && options.clip.sound) || !options.clip.audio_file.empty());
}

std::int32_t digits_for(const batch_options& options, std::int64_t inputs) {
    if (options.clip.digits > 0) return options.clip.digits;
    return inputs < 0 ? 6 : frame_digits(inputs);
}

// PNG files in the output folder, with the input's sound beside them when asked.
std::unique_ptr<frame_sink> open_png_output(const batch_options& options, const opened_input& input,
                                            const std::shared_ptr<const frame_plan>& plan,
                                            terminal_report& report) {
    const source_facts& facts = input.source->facts();
    const output_settings output = with_rate(options, facts);
    png_frame_settings png = output.png;
    png.background = output.background;
    auto frames = std::make_unique<png_sink>(utf16_from_utf8(options.paths.output_folder),
                                             digits_for(options, facts.inputs), png);
    const std::string& file = options.clip.audio_file;
    if (file.empty()) return frames;
    clip_sound* sound = input.clip->sound();
    std::string problem = "INPUT has no sound";
    auto beside = sound ? sound_beside_sink::open(std::move(frames), utf16_from_utf8(file), sound,
                                                  sound_start(options, input, plan),
                                                  output.rate_num, output.rate_den, &problem)
                        : nullptr;
    if (!beside) report.note_failure("Unable to save, " + file + ": " + problem);
    return beside;
}

// The clip OUTPUT, a file or the stream on standard output; null with the failure told.
std::unique_ptr<frame_sink> open_clip_output(const batch_options& options,
                                             const opened_input& input,
                                             const std::shared_ptr<const frame_plan>& plan,
                                             terminal_report& report) {
    const source_facts& facts = input.source->facts();
    const output_settings output = with_rate(options, facts);
    const clip_settings settings{facts.width,     facts.height,      output.rate_num,
                                 output.rate_den, output.background, engine_threads()};
    const std::string& path = options.paths.output_clip;
    const clip_library* clips = clip_support();
    const clip_format* format = !clips ? nullptr
                                : is_stream(path)
                                    ? clips->pipe_format(options.clip.container.c_str())
                                    : clips->format_for(utf16_from_utf8(path).c_str());
    clip_choices choices;
    choices.encoding = {options.clip.codec.c_str(), options.clip.crf, options.clip.preset.c_str()};
    choices.sound = options.clip.sound && input.clip ? input.clip->sound() : nullptr;
    choices.sound_from = sound_start(options, input, plan);
    std::string problem;
    auto clip = clip_sink::open(utf16_from_utf8(path), format, settings, choices, &problem);
    if (!clip)
        report.note_failure("Unable to save, " +
                            (is_stream(path) ? std::string("standard output") : path) + ": " +
                            problem);
    return clip;
}

// Checked before the first frame is made, which may take long. A clip's folder is checked as
// the clip is created.
bool output_folder_usable(const batch_options& options, terminal_report& report) {
    if (!options.paths.output_clip.empty()) return true;
    const std::string problem = folder_problem(options.paths.output_folder);
    if (problem.empty()) return true;
    report.note_failure("Unable to use the output folder, " + options.paths.output_folder + ": " +
                        problem);
    return false;
}

// The frames the render will save: those of the chosen span that the inputs make; -1 for a
// stream.
std::int32_t frames_to_render(const batch_options& options, std::int64_t all) {
    if (all < 0) return -1;
    const std::int64_t last = std::min<std::int64_t>(options.frames.last, all);
    return static_cast<std::int32_t>(std::max<std::int64_t>(0, last - options.frames.first + 1));
}

void announce(const batch_options& options, const frame_source& source, terminal_progress& progress,
              terminal_report& report) {
    const char16_t* unplanned = nullptr;
    const std::int64_t all = output_frames(options, source, &unplanned).value_or(0);
    const std::int32_t frames = frames_to_render(options, all);
    if (frames == 0 && all > 0)
        report.note("no frame to render: the sequence has " + std::to_string(all) + " frames",
                    false);
    progress.start(frames);
}

void render(const batch_options& options, terminal_progress& progress, terminal_report& report,
            std::atomic<bool>* completed) {
    std::string problem;
    const opened_input input = open_input(options, wants_sound(options), &problem);
    if (!input.source) return report.note_failure(problem);
    if (!output_folder_usable(options, report)) return;
    const source_facts& facts = input.source->facts();
    announce(options, *input.source, progress, report);
    const char16_t* refused = JOB_LAYERS_TOO_MANY;
    auto plan = plan_for(options, *input.source, nullptr, &refused);
    if (!plan) return report.failed(JOB_TITLE_ERROR, refused, "");
    const std::unique_ptr<frame_sink> sink = options.paths.output_clip.empty()
                                                 ? open_png_output(options, input, plan, report)
                                                 : open_clip_output(options, input, plan, report);
    if (!sink) return;
    if (options.output.skip_existing) plan = plan_for(options, *input.source, sink.get(), &refused);
    stop_on_signal control;
    const render_parts parts{input.source.get(), sink.get(),  &control, &report,
                             facts.width,        facts.height};
    completed->store(render_run(parts, plan->rule(), work_cursor(plan)) == render_end::completed);
    if (const std::int64_t passed = plan->inputs_passed_over())
        report.note("passed over " + std::to_string(passed) +
                        " input frames that show for no time (not later than the one before)",
                    false);
}

int exit_status(bool completed, const terminal_report& report, terminal_progress& progress) {
    if (report.any_failed()) return EXIT_RENDER_FAILED;
    const int signal = stop_signal_received();
    if (signal != 0) {
        progress.message("korvel-render: stopped after saving " + std::to_string(progress.done()) +
                             " of " + std::to_string(progress.total()) + " frames",
                         false);
        return EXIT_SIGNAL_BASE + signal;
    }
    return completed ? EXIT_RENDERED : EXIT_RENDER_FAILED;
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
    terminal_report report(progress);
    std::atomic<bool> completed{false};
    render(options, progress, report, &completed);
    progress.finish();
    if (options.stats) progress.message(render_stats_line(render_stats_snapshot()), true);
    return exit_status(completed.load(), report, progress);
}

} // namespace korvel
