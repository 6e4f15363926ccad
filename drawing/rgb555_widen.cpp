// Widening 5-bit channels: the top bits are repeated into the low ones, so 0 stays 0 and 31
// becomes 255 and the steps in between are as even as eight bits allow.
#include "drawing/rgb555_widen.h"

#include <cstddef>

namespace korvel {
namespace {

std::uint8_t widen(std::uint32_t five_bits) {
    return static_cast<std::uint8_t>(five_bits << 3 | five_bits >> 2);
}

} // namespace

pixel_block widen_rgb555(const pixel_view& source, pixel_view* view) {
    const std::int32_t pitch = source.width * 3;
    pixel_block block = allocate_pixels(static_cast<std::size_t>(pitch) * source.height);
    if (!block) return block;
    for (std::int32_t row = 0; row < source.height; ++row) {
        const std::uint8_t* in = source.pixels + static_cast<std::ptrdiff_t>(row) * source.pitch;
        std::uint8_t* out = block.get() + static_cast<std::ptrdiff_t>(row) * pitch;
        for (std::int32_t x = 0; x < source.width; ++x, in += 2, out += 3) {
            const std::uint32_t value = in[0] | static_cast<std::uint32_t>(in[1]) << 8;
            out[0] = widen(value & 31);
            out[1] = widen(value >> 5 & 31);
            out[2] = widen(value >> 10 & 31);
        }
    }
    *view = {block.get(), source.width, source.height, 3, pitch};
    return block;
}

} // namespace korvel
