// What the clip tests share: the ffmpeg and ffprobe programs, run as tools independent of the
// code under test, and clips written by the clip writer from plain canvases.
#pragma once

#include "tests/image/image_files.h"
#include "tests/support/scratch_folder.h"

#include "image/bitmap.h"
#include "image/clip_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace korvel::test {

// The clip tests' fixture: the codecs made ready once, a scratch folder for each test.
class clip_test : public testing::Test {
protected:
    static void SetUpTestSuite() { image_codecs_ready(); }
    scratch_folder folder;
};

// What the shell command prints on standard output, run in folder; "" when it fails.
std::string command_output(const scratch_folder& folder, const std::string& command);

// The ffmpeg program run in folder; false when it fails.
bool run_ffmpeg(const scratch_folder& folder, const std::string& arguments);

// ffprobe's values of the entries ("stream=codec_name,pix_fmt") of the streams selected ("v:0"),
// one to a line.
std::vector<std::string> probe(const scratch_folder& folder, const std::string& leaf,
                               const std::string& streams, const std::string& entries);

// A 32-bit canvas whose pixel (x, y from the top) is colour(x, y) as 0xAARRGGBB.
image_handle_t canvas_of(int width, int height,
                         const std::function<std::uint32_t(int, int)>& colour);

// The colour of the canvases write_frames writes, frame n (from 1), as 0xAARRGGBB: ramps unlike in
// every frame, from opaque on the left to nearly clear on the right.
std::uint32_t ramp_colour(int x, int y, int n);

// The colour of pixel (x, y) of rgb24 rows width pixels wide, as 0xFFRRGGBB.
std::function<std::uint32_t(int, int)> raw_rgb_colour(const std::string& rows, int width);

// Mean difference of the bytes of a frame, which is freed, from colour's: all four of a 32-bit
// frame, else the colour shown over background (0xRRGGBB). 255 for no frame.
double mean_distance(image_handle_t frame, const std::function<std::uint32_t(int, int)>& colour,
                     std::uint32_t background = 0);

// Writes frames canvases whose pixel (x, y) in frame n (from 1) is colour(x, y, n); "" or why it
// failed. Before each frame, before_frame(n) runs.
std::string write_frames(const std::u16string& path, const clip_format* format,
                         const clip_settings& settings, const clip_choices& choices, int frames,
                         const std::function<std::uint32_t(int, int, int)>& colour = ramp_colour,
                         const std::function<void(int)>& before_frame = nullptr);

// Runs body with the file descriptor fd (0 or 1) joined to the shell command's pipe: what it
// prints as standard input, or standard output as what it reads. The command's exit status.
int with_pipe(int fd, const std::string& command, const std::function<void()>& body);

} // namespace korvel::test
