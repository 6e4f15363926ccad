// The engine tests' host.
#include "tests/engine/engine_fixture.h"

#include "engine/engine_runtime.h"
#include "engine/folder_source.h"
#include "engine/frame_blender.h"
#include "engine/png_sink.h"
#include "engine/render_run.h"
#include "engine/stride_plan.h"
#include "image/bitmap.h"
#include "runtime/utf.h"

#include <gtest/gtest.h>
#include <oneapi/tbb/global_control.h>
#include <oneapi/tbb/task_arena.h>

#include <algorithm>

namespace korvel::test {

namespace {

image_handle_t next_handle() {
    const image_handle_t probe = bitmap_create(1, 1, 24);
    bitmap_delete(probe);
    return probe;
}

int live_bitmaps_since(image_handle_t first) {
    int count = 0;
    for (image_handle_t h = first + 1, end = next_handle(); h < end; ++h)
        count += object_type(h) != 0 ? 1 : 0;
    return count;
}

class never_stop final : public render_control {
    control_verdict before_step(work_cursor*, job_failure*) override {
        return control_verdict::go_on;
    }
};

} // namespace

test_host::test_host(const scratch_folder& in, const scratch_folder& out, int count, int width,
                     int height)
    : output_root_(out.root()), count_(count), width_(width), height_(height) {
    fields.input_folder = in.root() + "/";
    fields.output_folder = output_root_ + "/";
}

std::u16string test_host::input_folder() {
    outcome.peak_bitmaps = std::max(outcome.peak_bitmaps, live_bitmaps_since(first_handle_));
    if (fields.before_layer) fields.before_layer(++layers_read_);
    return utf16_from_utf8(fields.input_folder);
}

std::u16string test_host::output_folder() {
    return utf16_from_utf8(fields.output_folder);
}

void test_host::failed(const char16_t* title, const std::u16string& text, const char*) {
    outcome.failures.emplace_back(title, text);
}

frame_named test_host::handed_over(std::int32_t, const std::u16string& path) {
    return [this, name = utf8_from_utf16(path.c_str())] {
        std::lock_guard guard(outcome.told_lock);
        outcome.told_saved.push_back(name.substr(name.rfind('/') + 1));
        outcome.told_before_on_disk += path_exists(name) ? 0 : 1;
    };
}

void test_host::render(int threads, const std::shared_ptr<const frame_plan>& plan) {
    engine_runtime_start();
    tbb::global_control limit(tbb::global_control::max_allowed_parallelism,
                              static_cast<std::size_t>(threads));
    first_handle_ = next_handle();
    const std::u16string in = utf16_from_utf8(fields.input_folder);
    folder_source source(in, scan_folder(in, false));
    png_sink sink(output_folder(), frame_digits(count_), {});
    live_control live(*this, source, sink, count_);
    never_stop planned;
    render_control* control = plan ? static_cast<render_control*>(&planned) : &live;
    const render_parts parts{&source, &sink, control, this, width_, height_};
    render_end end = render_end::failed;
    tbb::task_arena(threads).execute(
        [&] { end = render_run(parts, plan ? plan->rule() : stack_blend, work_cursor(plan)); });
    outcome.completed = end == render_end::completed;
    outcome.left_at_end = folder_names(output_root_);
    outcome.bitmaps_left = live_bitmaps_since(first_handle_);
}

void test_host::run(int threads) {
    render(threads, nullptr);
}

void test_host::run_planned(int threads, const blur_settings& blur, const frame_span& span) {
    const char16_t* problem = u"";
    const auto plan = plan_windows(blur, count_, span, nullptr, &problem);
    ASSERT_TRUE(plan);
    render(threads, plan);
}

} // namespace korvel::test
