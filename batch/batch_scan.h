// The batch renderer's input scan: the count and the resolution that the window's input scan
// writes into its job file, kept in memory instead.
#pragma once

#include "batch/batch_options.h"

#include <cstdint>
#include <string>

namespace korvel {

struct batch_scan_result {
    std::int32_t count = 0; // the "*.png" entries of the folder, whatever they are
    std::u16string total;   // count as decimal text
    std::u16string width;   // the last entry's width as decimal text; "" when it did not load
    std::u16string height;
    std::int32_t rate_num = 0; // a clip's frames per second; 0 when unknown or for a folder
    std::int32_t rate_den = 1;
};

// Counts the folder's "*.png" entries and probes the resolution of the last one, in the same
// listing order, matching and text forms as the window. False when the folder cannot be read.
bool batch_scan(const char16_t* folder, batch_scan_result* result);

// The same for a video file: its frame count, its resolution and its rate. False, with the load
// problem saying why, when no video can be read from it.
bool batch_scan_clip(const char16_t* clip, batch_scan_result* result);

// The options' input, a folder or a clip, scanned; false with problem set to the line that says
// why not ("Unable to load, notes.txt: not a video or picture korvel can read").
bool batch_scan_input(const batch_options& options, batch_scan_result* result,
                      std::string* problem);

// Why path is no folder that can be used ("No such file or directory"), or "" when it is one.
std::string folder_problem(const std::string& path);

// The output frames that inputs make with the options' layers per frame and step: every window
// whose last input exists.
std::int64_t output_frames(std::int64_t inputs, const batch_options& options);

} // namespace korvel
