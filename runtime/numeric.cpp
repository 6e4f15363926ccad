// Rounding, 64-bit division and colour packing with the exact results the render job relies on.
#include "runtime/numeric.h"

#include <cmath>
#include <cstdint>

namespace korvel {

float round_float(float x, std::int32_t mode) {
    const double value = x;
    double rounded;
    if (mode == 1)
        rounded = std::ceil(value);
    else if (mode == 2)
        rounded = value > 0 ? std::floor(value + 0.5) : std::ceil(value - 0.5);
    else
        rounded = std::floor(value);
    return static_cast<float>(rounded);
}

std::int64_t div_i64(std::int64_t a, std::int64_t b) {
    if (b == 0) return 0;
    // The one quotient that does not fit wraps to itself instead of trapping.
    if (a == INT64_MIN && b == -1) return INT64_MIN;
    return a / b;
}

std::uint32_t rgb(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    return red + green * 256u + blue * 65536u;
}

} // namespace korvel
