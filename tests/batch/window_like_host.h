// The render job run in the test process through a host that behaves like the window's: folders
// as the folder chooser gives them (with a trailing "/"), the job file's count and resolution
// from a scan the test did itself, every frame rendered, failures collected.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace korvel::test {

struct window_like_render {
    std::string input_folder;  // ending in "/"
    std::string output_folder; // ending in "/"
    std::int64_t layers = 100;
    std::int64_t alpha = 255;
    bool reverse = false;
    // What the window's input scan would have written into the job file.
    std::int32_t image_count = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;

    // Results.
    std::vector<std::string> failures;
    bool completed = false;
};

// Runs the render job on the calling thread (the runtime and the codecs are readied first).
void render_like_window(window_like_render& render);

} // namespace korvel::test
