// Nearest palette entry for a pixel, by squared distance on the gamma curve with the colour
// weighted by the pixel's opacity, plus the squared alpha difference.
#pragma once

#include <array>
#include <cstdint>

namespace korvel {

struct palette_search {
    using channels = std::array<std::int32_t, 4>;
    struct cached_answer {
        std::uint32_t pixel;
        std::uint16_t index;
        bool filled;
    };

    std::int32_t count;
    std::array<channels, 256> encoded; // colours on the gamma curve, alpha as is
    std::array<channels, 256> plain;   // the entries as given
    // Photographs repeat colours a lot; one answer per hashed pixel value saves most searches.
    std::array<cached_answer, 4096> cache;
};

// Prepares the search over count (1 to 256) entries of blue, green, red, alpha.
void palette_search_start(palette_search& search, const std::uint8_t* palette, std::int32_t count);

// The index of the nearest entry to the blue, green, red, alpha pixel. Entries equally near on
// the gamma curve are told apart by their plain distance, then by the lower index, so a pixel
// whose colour is in the palette always finds that entry.
std::uint8_t palette_nearest(palette_search& search, const std::uint8_t* pixel);

} // namespace korvel
