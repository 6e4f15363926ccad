// The sRGB curves as lookup tables, computed once in double: a render looks them up for every
// channel of every layer, far too often to evaluate a power each time.
#include "engine/srgb_linear.h"

#include <array>
#include <cmath>

namespace korvel {
namespace {

double srgb_decode(double encoded) {
    return encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}

double srgb_encode(double linear) {
    return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
}

std::array<std::uint16_t, 256> decoding_table() {
    std::array<std::uint16_t, 256> table{};
    for (std::size_t value = 0; value < table.size(); ++value)
        table[value] = static_cast<std::uint16_t>(
            std::lround(srgb_decode(static_cast<double>(value) / 255) * linear_white));
    return table;
}

std::array<std::uint8_t, linear_white + 1> encoding_table() {
    std::array<std::uint8_t, linear_white + 1> table{};
    for (std::size_t value = 0; value < table.size(); ++value)
        table[value] = static_cast<std::uint8_t>(
            std::lround(srgb_encode(static_cast<double>(value) / linear_white) * 255));
    return table;
}

} // namespace

const std::uint16_t* srgb_to_linear_table() {
    static const std::array<std::uint16_t, 256> table = decoding_table();
    return table.data();
}

const std::uint8_t* linear_to_srgb_table() {
    static const std::array<std::uint8_t, linear_white + 1> table = encoding_table();
    return table.data();
}

} // namespace korvel
