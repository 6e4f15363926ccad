// What the engine tests share: renders headless through the window's live control (fields that a
// hook may change while the render runs) or through a plan of windows, with a report that
// records what the render tells.
#pragma once

#include "engine/frame_plan.h"
#include "engine/live_control.h"
#include "engine/render_control.h"
#include "engine/render_settings.h"
#include "tests/support/scratch_folder.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace korvel::test {

// The window's fields as the live control reads them.
struct test_fields {
    std::string input_folder, output_folder; // with a trailing "/", as the window gives folders
    std::int64_t layers = 4, alpha_levels = 255;
    bool reverse = false;
    // Called as the input folder is read for loading layer number n (from 1) of the render.
    std::function<void(int n)> before_layer;
};

// What the render told and left.
struct test_outcome {
    std::vector<std::pair<std::u16string, std::u16string>> failures; // title, text
    // Frames told saved, by file name, and how many were not on disk when told (from the saver's
    // threads, under told_lock).
    std::mutex told_lock;
    std::vector<std::string> told_saved;
    int told_before_on_disk = 0;
    std::vector<std::string> left_at_end; // the output folder's names when the render ended
    bool completed = false;
    // Bitmaps alive at the layer that saw most, and when the render ended.
    int peak_bitmaps = 0, bitmaps_left = -1;
};

class test_host final : public live_fields, public render_report {
public:
    test_host(const scratch_folder& in, const scratch_folder& out, int count, int width,
              int height);

    // The window's render on that many threads (the global limit set to match, as a front end
    // sets it).
    void run(int threads);
    // The windows of blur over the count's inputs, frames of span, as korvel-render makes them.
    void run_planned(int threads, const blur_settings& blur, const frame_span& span);

    test_fields fields;
    test_outcome outcome;

private:
    std::u16string input_folder() override;
    std::u16string output_folder() override;
    std::int64_t layers() override { return fields.layers; }
    std::int64_t alpha_levels() override { return fields.alpha_levels; }
    bool reverse() override { return fields.reverse; }
    bool cancel_requested() override { return false; }
    bool confirm_cancel() override { return true; }
    void record_name(std::int64_t, const std::u16string&) override {}
    void failed(const char16_t* title, const std::u16string& text, const char*) override;
    frame_named handed_over(std::int32_t frame, const std::u16string& path) override;
    // Through the live control when plan is null.
    void render(int threads, const std::shared_ptr<const frame_plan>& plan);

    std::string output_root_;
    int count_, width_, height_, layers_read_ = 0;
    std::uint32_t first_handle_ = 0; // handles are handed out in increasing order
};

} // namespace korvel::test
