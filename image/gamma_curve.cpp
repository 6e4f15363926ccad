// Tables of the quantizer's 1.8 gamma curve and its inverse, built once on first use.
#include "image/gamma_curve.h"

#include <array>
#include <cmath>

namespace korvel {
namespace {

using curve_table = std::array<std::uint8_t, 256>;

curve_table make_table(double exponent) {
    curve_table table{};
    for (int i = 0; i < 256; ++i) {
        table[i] = static_cast<std::uint8_t>(std::lround(255.0 * std::pow(i / 255.0, exponent)));
    }
    return table;
}

constexpr double GAMMA = QUANTIZER_GAMMA_TIMES_100000 / 100000.0;

} // namespace

std::uint8_t gamma_encode(std::uint8_t value) {
    static const curve_table table = make_table(1.0 / GAMMA);
    return table[value];
}

std::uint8_t gamma_decode(std::uint8_t value) {
    static const curve_table table = make_table(GAMMA);
    return table[value];
}

} // namespace korvel
