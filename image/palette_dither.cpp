// The row-by-row error diffusion. All arithmetic is in signed integers that divide toward zero,
// so the result is the same on every machine.
#include "image/palette_dither.h"

#include <algorithm>

namespace korvel {
namespace {

using error = std::array<std::int32_t, 4>;

std::uint8_t clamp_byte(std::int32_t value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

std::int32_t sum_of_squares(const error& e) {
    std::int32_t sum = 0;
    for (std::int32_t v : e)
        sum += v * v;
    return sum;
}

// The colour error counts only as far as either side is visible.
error pixel_error(const std::uint8_t* pixel, const std::uint8_t* entry) {
    const std::int32_t m = std::max(pixel[3], entry[3]);
    const std::int32_t visibility = 255 - (255 - m) * (255 - m) / 255;
    error e{};
    for (int c = 0; c < 3; ++c)
        e[c] = (entry[c] - pixel[c]) * visibility / 255;
    e[3] = entry[3] - pixel[3];
    return e;
}

// Keeps the carried error small, so that flat areas get a fine grain rather than streaks.
void damp(error& carried, const error& latest) {
    const auto too_large = [&] {
        const std::int32_t sum = sum_of_squares(carried);
        return std::any_of(carried.begin(), carried.end(),
                           [](std::int32_t v) { return v * v > 100; }) ||
               sum > 200 || sum > 2 * sum_of_squares(latest);
    };
    while (too_large()) {
        for (std::int32_t& v : carried)
            v /= 2;
    }
}

void subtract_share(std::uint8_t* pixel, const error& carried, std::int32_t sixteenths) {
    for (int c = 0; c < 4; ++c)
        pixel[c] = clamp_byte(pixel[c] - carried[c] * sixteenths / 16);
}

} // namespace

void dither_row(dither_state& state, std::uint8_t* row, std::uint8_t* next_row, std::int32_t width,
                palette_search& search, const std::uint8_t* palette, std::uint8_t* indices) {
    error carried{};
    for (int c = 0; c < 4; ++c)
        carried[c] = state.carried[c] * 7 / 16;
    for (std::int32_t x = 0; x < width; ++x) {
        std::uint8_t* pixel = row + 4 * x;
        std::uint8_t wanted[4];
        for (int c = 0; c < 4; ++c)
            wanted[c] = clamp_byte(pixel[c] - carried[c]);
        indices[x] = palette_nearest(search, wanted);
        const error latest = pixel_error(pixel, palette + 4 * indices[x]);
        for (int c = 0; c < 4; ++c)
            carried[c] += latest[c];
        damp(carried, latest);
        std::uint8_t* below = next_row + 4 * x;
        if (x > 0) subtract_share(below - 4, carried, 3);
        subtract_share(below, carried, 5);
        if (x + 1 < width) subtract_share(below + 4, carried, 1);
    }
    state.carried = carried;
}

} // namespace korvel
