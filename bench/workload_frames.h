// The input sequences of the side-by-side benchmark and of the sample render: what each preset
// holds and how one of its frames is painted. Every frame is a pure function of the preset and
// the frame index, so frames can be made in any order, on any thread, with the same bytes.
#pragma once

#include <cstdint>
#include <string_view>

namespace korvel {

enum class workload_kind {
    // A moving opaque disc with an anti-aliased rim on a transparent background (32-bit).
    sprite,
    // Opaque camera-like footage: a drifting gradient with fresh grain in every frame and a
    // moving bright shape (24-bit, so the files carry no alpha channel).
    footage,
};

struct workload_preset {
    const char* name;
    workload_kind kind;
    std::int32_t frames;
    std::int32_t width;
    std::int32_t height;
    std::int32_t depth;  // 32 or 24 bits per pixel
    std::int32_t layers; // layers per output frame that the comparison renders with
};

// The presets, and how many there are.
const workload_preset* workload_presets();
std::int32_t workload_preset_count();

// The preset of that name, or null.
const workload_preset* workload_preset_find(std::string_view name);

// Paints frame index (0-based) of the preset into bottom-up rows of the preset's size and depth,
// stride bytes apart. Transparent sprite pixels are all-zero bytes.
void workload_paint(const workload_preset& preset, std::int32_t index, std::uint8_t* pixels,
                    std::int32_t stride);

// Where the moving object of frame index is centred, in picture coordinates (top row 0).
struct workload_point {
    double x;
    double y;
};
workload_point workload_centre(const workload_preset& preset, std::int32_t index);

// The radius of the moving object; it stays whole inside the picture in every frame.
double workload_radius(const workload_preset& preset);

} // namespace korvel
