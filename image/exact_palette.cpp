// Distinct pixel values collected in a small open-addressing set, stopping at the first value
// past the limit, so a photograph costs only a few rows.
#include "image/exact_palette.h"

#include <array>
#include <cstring>

namespace korvel {
namespace {

// Twice the largest palette, so probes stay short.
constexpr std::uint32_t SET_SIZE = 512;

struct colour_set {
    std::array<std::uint32_t, SET_SIZE> values;
    std::array<bool, SET_SIZE> used;
};

// Adds the value; true if it was not there yet.
bool insert(colour_set& set, std::uint32_t value) {
    std::uint32_t slot = (value * 2654435761u) >> 23;
    while (set.used[slot]) {
        if (set.values[slot] == value) return false;
        slot = (slot + 1) % SET_SIZE;
    }
    set.used[slot] = true;
    set.values[slot] = value;
    return true;
}

} // namespace

std::int32_t exact_palette(const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                           std::int32_t stride, std::int32_t limit, std::uint8_t* palette) {
    colour_set set{};
    std::int32_t count = 0;
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* row = pixels + static_cast<std::ptrdiff_t>(y) * stride;
        for (std::int32_t x = 0; x < width; ++x) {
            std::uint32_t value;
            std::memcpy(&value, row + 4 * x, sizeof value);
            if (!insert(set, value)) continue;
            if (count == limit) return 0;
            std::memcpy(palette + 4 * count, &value, sizeof value);
            ++count;
        }
    }
    return count;
}

} // namespace korvel
