// The engine tests' host.
#include "tests/engine/engine_fixture.h"

#include "engine/engine_runtime.h"
#include "engine/render_job.h"
#include "image/bitmap.h"
#include "runtime/utf.h"

#include <gtest/gtest.h>
#include <oneapi/tbb/global_control.h>
#include <oneapi/tbb/task_arena.h>

#include <algorithm>

namespace korvel::test {

namespace {

test_host& of(void* host) {
    return *static_cast<test_host*>(host);
}

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

const render_host_ops test_ops = {
    .open_job = [](void* host, render_totals* totals) -> std::int32_t {
        *totals = {of(host).total.c_str(), of(host).width.c_str(), of(host).height.c_str()};
        return 1;
    },
    .record_name = [](void*, std::int64_t, const char16_t*) {},
    .close_job = [](void*) {},
    .frame_range =
        [](void* host, std::int32_t* first, std::int32_t* last) {
            *first = of(host).first_frame;
            *last = of(host).last_frame;
        },
    .input_folder = [](void* host,
                       std::int32_t at) { return utf16_from_utf8_at(of(host).input_folder, at); },
    .output_folder = [](void* host,
                        std::int32_t at) { return utf16_from_utf8_at(of(host).output_folder, at); },
    .layers_per_frame = [](void* host) { return of(host).layers; },
    .alpha_levels = [](void* host) { return of(host).alpha_levels; },
    .reverse = [](void* host) -> std::int32_t { return of(host).reverse; },
    .cancel_requested = [](void* host) -> std::int32_t {
        test_host& h = of(host);
        h.peak_bitmaps = std::max(h.peak_bitmaps, live_bitmaps_since(h.first_handle));
        return h.cancel_at && h.cancel_at(++h.cancel_checks);
    },
    .confirm_cancel = [](void*) -> std::int32_t { return 1; },
    .fail = [](void* host, const char16_t* title, const char16_t* text,
               const char*) { of(host).failures.emplace_back(title, text); },
    .frame_saved =
        [](void* host, std::int32_t, std::int32_t, const char16_t* path) {
            test_host& h = of(host);
            const std::string name = utf8_from_utf16(path);
            std::lock_guard guard(h.told_lock);
            h.told_saved.push_back(name.substr(name.rfind('/') + 1));
            h.told_before_on_disk += path_exists(name) ? 0 : 1;
        },
    .job_end =
        [](void* host, std::int32_t completed) {
            test_host& h = of(host);
            ++h.job_ends;
            h.completed = completed;
            h.left_at_end = folder_names(h.output_root);
            h.bitmaps_left = live_bitmaps_since(h.first_handle);
        },
    .media = nullptr,
};

} // namespace

test_host::test_host(const scratch_folder& in, const scratch_folder& out, int count,
                     int frame_width, int frame_height)
    : input_folder(in.root() + "/"), output_root(out.root()), output_folder(output_root + "/"),
      total(utf16_from_utf8(std::to_string(count))),
      width(utf16_from_utf8(std::to_string(frame_width))),
      height(utf16_from_utf8(std::to_string(frame_height))) {}

void test_host::run(int threads) {
    engine_runtime_start();
    tbb::global_control limit(tbb::global_control::max_allowed_parallelism,
                              static_cast<std::size_t>(threads));
    first_handle = next_handle();
    const render_host runner{&test_ops, this};
    tbb::task_arena(threads).execute([&runner] { render_job_run(&runner); });
    EXPECT_EQ(job_ends, 1);
}

} // namespace korvel::test
