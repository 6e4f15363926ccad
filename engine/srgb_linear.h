// Colours to linear light and back, for averaging frames as light adds up rather than as the
// stored bytes do: without it a mean of black and white comes out too dark.
#pragma once

#include <cstdint>

namespace korvel {

// The most a linear-light value reaches: white.
inline constexpr std::uint32_t linear_white = 65535;

// The sRGB decoding curve of each 8-bit value, scaled to 0 to linear_white and rounded: 256
// entries, built on first use.
const std::uint16_t* srgb_to_linear_table();

// round(255 * encode(v / linear_white)) for every linear value v, with encode the sRGB encoding
// curve: 65536 entries, built on first use.
const std::uint8_t* linear_to_srgb_table();

} // namespace korvel
