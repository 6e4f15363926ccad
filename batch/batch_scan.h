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
};

// Counts the folder's "*.png" entries and probes the resolution of the last one, in the same
// listing order, matching and text forms as the window. False when the folder cannot be read.
bool batch_scan(const char16_t* folder, batch_scan_result* result);

} // namespace korvel
