// What the engine tests share: the runtime made ready once, input pictures written and output
// frames read with libpng, the expected frame computed from the pictures alone, a scratch
// folder, a count of live bitmaps, and a host with fixed inputs that records every report.
#pragma once

#include "engine/engine_runtime.h"
#include "engine/render_host.h"
#include "image/bitmap.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace korvel::test {

struct picture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool alpha = true;                 // RGBA samples, else RGB
    std::vector<std::uint8_t> samples; // rows from the top
};

// Colours that change from picture to picture and pixel to pixel; with alpha, bands that are
// transparent, opaque and in between.
picture test_picture(std::int32_t width, std::int32_t height, bool alpha, std::uint32_t seed);

bool write_png(const std::string& path, const picture& p);
// An 8-bit RGBA PNG's pixels; width 0 when the file is missing or not such a PNG.
picture read_rgba_png(const std::string& path);

// The frame that drawing layers (in drawing order) onto a transparent width x height canvas
// gives: the first at 255, the others at A - step, A - 2 step, ... (step = A / L in 32-bit
// floats, rounded half away from zero), each by the over operator. 24-bit layers at 255 copy
// their colour and keep the canvas alpha.
picture expected_frame(const std::vector<const picture*>& layers, std::int32_t width,
                       std::int32_t height, std::int64_t alpha_levels, std::int64_t ramp_layers);

class scratch_dir {
public:
    scratch_dir();
    ~scratch_dir();
    scratch_dir(const scratch_dir&) = delete;
    scratch_dir& operator=(const scratch_dir&) = delete;
    // The folder's path with a trailing "/", as the job joins names to it.
    const std::string& path() const { return path_; }
    std::u16string text() const;
    std::vector<std::string> names() const; // sorted

private:
    std::string path_;
};

// Input frames in folder: "in000.png", "in001.png", ... each a test_picture (every third without
// alpha); returns the pictures in name order.
std::vector<picture> write_inputs(const scratch_dir& folder, int count, std::int32_t width,
                                  std::int32_t height);
std::string input_name(int index);

// Bitmaps alive among those made since the counter was made.
class bitmap_census {
public:
    bitmap_census();
    std::int32_t live() const;

private:
    image_handle_t first_;
};

// A host with fixed inputs (each may be changed by a hook while the job runs) that records what
// the job reports. All its calls come from the thread running the job.
class test_host {
public:
    test_host(const scratch_dir& input, const scratch_dir& output, int total, std::int32_t width,
              std::int32_t height);
    render_host host();
    // Runs the job and checks that it ended exactly once.
    void run();

    std::u16string input_folder, output_folder;
    std::u16string total, width, height;
    std::int64_t layers = 4;
    std::int64_t alpha_levels = 255;
    bool reverse = false;

    std::function<bool(int check)> cancel_at; // asked at every cancel check, counted from 1
    std::function<void(int frame)> after_frame_saved;
    std::function<void()> at_job_end;

    std::vector<std::pair<std::u16string, std::u16string>> failures;
    std::vector<std::int32_t> frames_saved;
    int cancel_checks = 0;
    int job_ends = 0;
    int completed = -1;
};

// Runs the host's job in an arena of that many threads, with the global limit raised or lowered
// to match, as a front end would choose a thread count.
void run_with_threads(test_host& host, int threads);

// The frame file name the job gives frame (from 1) of a job over total inputs.
std::string frame_name(int frame, int total);

} // namespace korvel::test
