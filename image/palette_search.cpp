// The quantizer's palette search: a linear scan over at most 256 entries behind a small cache.
#include "image/palette_search.h"

#include "image/gamma_curve.h"

#include <cstring>

namespace korvel {
namespace {

using channels = palette_search::channels;

channels encoded_channels(const std::uint8_t* bgra) {
    return {gamma_encode(bgra[0]), gamma_encode(bgra[1]), gamma_encode(bgra[2]), bgra[3]};
}

channels plain_channels(const std::uint8_t* bgra) {
    return {bgra[0], bgra[1], bgra[2], bgra[3]};
}

// The squared distance times 255 * 255: the colour part weighted by 1 - (1 - a / 255)^2 for the
// pixel's alpha a, so a fully transparent pixel's colour counts for nothing.
std::int64_t weighted_distance(const channels& pixel, const channels& entry) {
    std::int64_t colour = 0;
    for (int c = 0; c < 3; ++c) {
        const std::int64_t d = pixel[c] - entry[c];
        colour += d * d;
    }
    const std::int64_t a = pixel[3];
    const std::int64_t alpha = pixel[3] - entry[3];
    return colour * (a * (510 - a)) + alpha * alpha * 255 * 255;
}

std::uint8_t search_all(const palette_search& search, const std::uint8_t* pixel) {
    const channels encoded = encoded_channels(pixel);
    const channels plain = plain_channels(pixel);
    std::int32_t best = 0;
    std::int64_t best_distance = weighted_distance(encoded, search.encoded[0]);
    for (std::int32_t i = 1; i < search.count; ++i) {
        const std::int64_t d = weighted_distance(encoded, search.encoded[i]);
        if (d > best_distance) continue;
        if (d == best_distance && weighted_distance(plain, search.plain[i]) >=
                                      weighted_distance(plain, search.plain[best])) {
            continue;
        }
        best = i;
        best_distance = d;
    }
    return static_cast<std::uint8_t>(best);
}

std::uint32_t cache_slot(std::uint32_t pixel) {
    return (pixel * 2654435761u) >> 20;
}

} // namespace

void palette_search_start(palette_search& search, const std::uint8_t* palette, std::int32_t count) {
    search.count = count;
    for (std::int32_t i = 0; i < count; ++i) {
        search.encoded[i] = encoded_channels(palette + 4 * i);
        search.plain[i] = plain_channels(palette + 4 * i);
    }
    search.cache.fill({0, 0, false});
}

std::uint8_t palette_nearest(palette_search& search, const std::uint8_t* pixel) {
    std::uint32_t value;
    std::memcpy(&value, pixel, sizeof value);
    palette_search::cached_answer& answer = search.cache[cache_slot(value)];
    if (!answer.filled || answer.pixel != value) {
        answer = {value, search_all(search, pixel), true};
    }
    return static_cast<std::uint8_t>(answer.index);
}

} // namespace korvel
