// The benchmark's input sequences, painted analytically: a frame depends only on its preset and
// index (grain comes from a generator seeded by frame and row), never on what ran before.
#include "bench/workload_frames.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace korvel {
namespace {

constexpr workload_preset presets[] = {
    {"sprite", workload_kind::sprite, 200, 1280, 720, 32, 100},
    {"footage", workload_kind::footage, 240, 1920, 1080, 24, 30},
    // Small enough to generate and render in a moment on any machine.
    {"sample", workload_kind::sprite, 60, 320, 180, 32, 10},
    // The distinct frames of the cluster tests' sequence, which repeats them: a number of frames
    // that no window of 100 layers divides, so that every output frame differs from the others.
    {"cluster", workload_kind::sprite, 97, 64, 36, 32, 100},
};

// Grain source: splitmix64 spreads the seed, xorshift64* runs along the row.
struct grain {
    std::uint64_t state;

    grain(std::int32_t index, std::int32_t row) {
        std::uint64_t z =
            (static_cast<std::uint64_t>(index) << 32 | static_cast<std::uint32_t>(row)) +
            0x9E3779B97F4A7C15ULL;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        state = (z ^ (z >> 31)) | 1;
    }

    std::uint64_t next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1DULL;
    }
};

// Fraction of the pixel centred at distance d from the centre that a disc of radius r covers,
// estimated by a one-pixel ramp across the rim.
double coverage(double d, double r) {
    return std::clamp(r + 0.5 - d, 0.0, 1.0);
}

std::uint8_t to_byte(double v) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

double progress(const workload_preset& preset, std::int32_t index) {
    return preset.frames > 1 ? static_cast<double>(index) / (preset.frames - 1) : 0.0;
}

std::uint8_t* memory_row(const workload_preset& preset, std::uint8_t* pixels, std::int32_t stride,
                         std::int32_t y) {
    return pixels + static_cast<std::ptrdiff_t>(preset.height - 1 - y) * stride;
}

// A lit ball: brightest towards the upper left, with a base colour that drifts over the sequence.
void paint_sprite(const workload_preset& preset, std::int32_t index, std::uint8_t* pixels,
                  std::int32_t stride) {
    const workload_point c = workload_centre(preset, index);
    const double r = workload_radius(preset);
    const double t = progress(preset, index);
    const double base[3] = {40 + 150 * (1 - t), 100 + 80 * t, 220}; // blue, green, red
    const double light_x = c.x - 0.35 * r;
    const double light_y = c.y - 0.35 * r;
    for (std::int32_t y = 0; y < preset.height; ++y) {
        std::uint8_t* row = memory_row(preset, pixels, stride, y);
        std::memset(row, 0, static_cast<std::size_t>(preset.width) * 4);
        const double dy = y + 0.5 - c.y;
        if (std::abs(dy) > r + 1) continue;
        const auto left = std::max<std::int32_t>(0, static_cast<std::int32_t>(c.x - r - 1));
        const auto right =
            std::min<std::int32_t>(preset.width, static_cast<std::int32_t>(c.x + r + 2));
        for (std::int32_t x = left; x < right; ++x) {
            const std::uint8_t alpha = to_byte(255 * coverage(std::hypot(x + 0.5 - c.x, dy), r));
            if (alpha == 0) continue;
            const double lit = std::hypot(x + 0.5 - light_x, y + 0.5 - light_y) / (1.6 * r);
            const double shade = 0.3 + 0.7 * (1 - std::min(lit, 1.0));
            std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * 4;
            for (int channel = 0; channel < 3; ++channel)
                p[channel] = to_byte(base[channel] * shade);
            p[3] = alpha;
        }
    }
}

// Slow colour waves that drift with the frame index: blue follows the columns, green the rows
// and red the diagonals, so each is a table rather than a sine per pixel.
struct footage_background {
    std::vector<double> blue, green, red;

    footage_background(const workload_preset& preset, std::int32_t index)
        : blue(static_cast<std::size_t>(preset.width)),
          green(static_cast<std::size_t>(preset.height)),
          red(static_cast<std::size_t>(preset.width + preset.height)) {
        for (std::size_t x = 0; x < blue.size(); ++x)
            blue[x] = 130 + 40 * std::sin((static_cast<double>(x) + 3.0 * index) / 300);
        for (std::size_t y = 0; y < green.size(); ++y)
            green[y] = 110 + 50 * std::cos((static_cast<double>(y) - 2.0 * index) / 170);
        for (std::size_t d = 0; d < red.size(); ++d)
            red[d] = 90 + 60 * std::sin((static_cast<double>(d) + 5.0 * index) / 240);
    }
};

// Grain of -6 to +6 levels per channel, fresh in every frame as a camera's would be.
double grain_level(std::uint64_t bits, int channel) {
    return static_cast<double>((bits >> (channel * 8)) & 0xFF) * 13 / 256 - 6;
}

void paint_footage(const workload_preset& preset, std::int32_t index, std::uint8_t* pixels,
                   std::int32_t stride) {
    const footage_background background(preset, index);
    const workload_point c = workload_centre(preset, index);
    const double r = workload_radius(preset);
    const double shape[3] = {170, 220, 240}; // blue, green, red
    for (std::int32_t y = 0; y < preset.height; ++y) {
        std::uint8_t* row = memory_row(preset, pixels, stride, y);
        grain noise(index, y);
        for (std::int32_t x = 0; x < preset.width; ++x) {
            const double cover = coverage(std::hypot(x + 0.5 - c.x, y + 0.5 - c.y), r);
            const double under[3] = {background.blue[static_cast<std::size_t>(x)],
                                     background.green[static_cast<std::size_t>(y)],
                                     background.red[static_cast<std::size_t>(x + y)]};
            const std::uint64_t bits = noise.next();
            std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * 3;
            for (int channel = 0; channel < 3; ++channel) {
                const double clean = under[channel] + (shape[channel] - under[channel]) * cover;
                p[channel] = to_byte(clean + grain_level(bits, channel));
            }
        }
    }
}

} // namespace

const workload_preset* workload_presets() {
    return presets;
}

std::int32_t workload_preset_count() {
    return static_cast<std::int32_t>(std::size(presets));
}

const workload_preset* workload_preset_find(std::string_view name) {
    for (const workload_preset& preset : presets)
        if (name == preset.name) return &preset;
    return nullptr;
}

double workload_radius(const workload_preset& preset) {
    return preset.kind == workload_kind::sprite ? preset.height / 8.0 : preset.height / 6.0;
}

// Left to right across the picture while bobbing one and a half times, always a rim's width
// clear of the border.
workload_point workload_centre(const workload_preset& preset, std::int32_t index) {
    const double margin = workload_radius(preset) + 2;
    const double t = progress(preset, index);
    const double x = margin + (preset.width - 2 * margin) * t;
    const double y = preset.height / 2.0 + 0.8 * (preset.height / 2.0 - margin) *
                                               std::sin(2 * std::numbers::pi * 1.5 * t);
    return {x, y};
}

void workload_paint(const workload_preset& preset, std::int32_t index, std::uint8_t* pixels,
                    std::int32_t stride) {
    if (preset.kind == workload_kind::sprite)
        paint_sprite(preset, index, pixels, stride);
    else
        paint_footage(preset, index, pixels, stride);
}

} // namespace korvel
