// Flattening of straight-alpha rows onto white.
#include "image/over_white.h"

namespace korvel {

void row_over_white(const std::uint8_t* bgra, std::int32_t width, std::uint8_t* bgr) {
    for (std::int32_t x = 0; x < width; ++x) {
        std::uint8_t a = bgra[x * 4 + 3];
        for (int c = 0; c < 3; ++c)
            bgr[x * 3 + c] = over_white(bgra[x * 4 + c], a);
    }
}

} // namespace korvel
