// The batch renderer's input scan: the count and the resolution that the window's input scan
// writes into its job file, kept in memory instead.
#pragma once

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

} // namespace korvel
