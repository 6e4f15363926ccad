// What the engine tests share: a host whose inputs are plain fields (hooks may change them while a
// job runs) and that records what the job reports.
#pragma once

#include "engine/render_host.h"
#include "tests/support/scratch_folder.h"

#include <functional>
#include <limits>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace korvel::test {

struct test_host {
    test_host(const scratch_folder& in, const scratch_folder& out, int total, int width,
              int height);
    // Runs the job in an arena of that many threads (the global limit set to match, as a front end
    // sets it) and checks that it ended exactly once.
    void run(int threads);

    std::string input_folder, output_root;
    std::string output_folder; // the root and "/", as the window gives folders
    std::u16string total, width, height;
    std::int64_t layers = 4, alpha_levels = 255;
    bool reverse = false;
    std::int32_t first_frame = 1, last_frame = std::numeric_limits<std::int32_t>::max();

    std::function<bool(int check)> cancel_at; // asked at every cancel check, counted from 1

    std::vector<std::pair<std::u16string, std::u16string>> failures; // title, text
    // Frames told saved, by file name, and how many of them were not on disk when told; told
    // from the saver's threads.
    std::mutex told_lock;
    std::vector<std::string> told_saved;
    int told_before_on_disk = 0;
    std::vector<std::string> left_at_end; // the output root's names when the job ended
    int job_ends = 0, completed = -1, cancel_checks = 0;
    // Bitmaps alive at the cancel check that saw most, and when the job ended.
    int peak_bitmaps = 0, bitmaps_left = -1;
    std::uint32_t first_handle = 0; // handles are handed out in increasing order
};

} // namespace korvel::test
