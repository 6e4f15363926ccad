// The quantizer's gamma: colours are compared and learnt on a 1.8 curve, which spreads the dark
// shades apart where the eye tells them apart best.
#pragma once

#include <cstdint>

namespace korvel {

// 1.8, as PNG's gAMA chunk records it.
inline constexpr std::int32_t QUANTIZER_GAMMA_TIMES_100000 = 180000;

// 255 * (value / 255)^(1 / 1.8), rounded.
std::uint8_t gamma_encode(std::uint8_t value);

// The inverse curve, 255 * (value / 255)^1.8, rounded.
std::uint8_t gamma_decode(std::uint8_t value);

} // namespace korvel
