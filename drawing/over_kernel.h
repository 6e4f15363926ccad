// The hot rows of alpha drawing: the over operator onto 32-bit destination rows, from 32-bit
// (blue, green, red, alpha) and 24-bit (blue, green, red) sources, with a constant opacity.
//
// For each pixel, with a = Sa * opacity / 255 (a = opacity for a 24-bit source) and every
// division truncating: a = 0 leaves the pixel; otherwise each colour becomes
// (Sc * a * 255 + Dc * (255 - a) * Da) / ((255 - a) * Da + a * 255) and the alpha
// ((255 - a) * Da + a * 255) / 255. The keep-alpha rows apply the colour part only.
//
// Rows are processed in place, left to right, count pixels each; opacity must be 0 to 255.
// Several instruction-set builds exist; all give the same bytes.
#pragma once

#include <cstdint>

namespace korvel {

using over_row = void (*)(std::uint8_t* dst, const std::uint8_t* src, std::int32_t count,
                          std::int32_t opacity);
using copy_row = void (*)(std::uint8_t* dst, const std::uint8_t* src, std::int32_t count);

struct over_row_set {
    const char* name;
    over_row bgra;            // 32-bit source
    over_row bgra_keep_alpha; // 32-bit source, destination alpha untouched
    over_row bgr;             // 24-bit source, a = opacity
    over_row bgr_keep_alpha;  // 24-bit source, destination alpha untouched
    copy_row bgr_copy;        // 24-bit source copied, destination alpha untouched
};

// The fastest set this processor runs, chosen once.
const over_row_set& over_rows();

// Every set this processor runs (the baseline first), so that they can be held to one another.
std::int32_t over_row_set_count();
const over_row_set& over_row_set_at(std::int32_t index);

} // namespace korvel
