// Small numeric helpers with the exact rounding the render job relies on.
#pragma once

#include <cstdint>

namespace korvel {

// mode 1: up; mode 2: nearest, halves away from zero; any other mode: down.
float round_float(float x, std::int32_t mode);

// Signed quotient truncated toward zero; INT64_MIN / -1 gives INT64_MIN and a zero divisor
// gives 0 (nothing traps).
std::int64_t div_i64(std::int64_t a, std::int64_t b);

// red + green * 256 + blue * 65536, unmasked (a component above 255 carries into the next byte).
std::uint32_t rgb(std::uint32_t red, std::uint32_t green, std::uint32_t blue);

} // namespace korvel
