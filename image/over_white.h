// 32-bit pixels flattened onto white for writers that take only 24-bit rows.
#pragma once

#include <cstdint>

namespace korvel {

// One colour byte c with alpha a over white: c * a / 255 + (255 - a), in integers.
inline std::uint8_t over_white(std::uint8_t c, std::uint8_t a) {
    return static_cast<std::uint8_t>(((c - 255) * a + 65025) / 255);
}

// width blue, green, red, alpha pixels as blue, green, red pixels over white.
void row_over_white(const std::uint8_t* bgra, std::int32_t width, std::uint8_t* bgr);

} // namespace korvel
