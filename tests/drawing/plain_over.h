// The yardstick for the compositing rows: the over operator written one pixel at a time, straight
// from its integer formula, with no shortcut beyond the ones the formula states. Tests hold the
// fast rows to it byte for byte and the benchmark measures them against it.
#pragma once

#include <cstdint>

namespace korvel::plain {

// One 32-bit destination pixel (blue, green, red, alpha) under source colour s with effective
// alpha a.
inline void over_pixel(std::uint8_t* d, const std::uint8_t* s, std::int32_t a, bool keep_alpha) {
    const std::int32_t da = d[3];
    if (a == 0) return;
    for (int c = 2; c >= 0; --c) {
        if (da == 0)
            d[c] = s[c];
        else
            d[c] = static_cast<std::uint8_t>((s[c] * a * 255 + d[c] * (255 - a) * da) /
                                             ((255 - a) * da + a * 255));
    }
    if (!keep_alpha) d[3] = static_cast<std::uint8_t>((a * 255 + (255 - a) * da) / 255);
}

// A row from a 32-bit source: a = Sa * opacity / 255.
inline void over_row_bgra(std::uint8_t* dst, const std::uint8_t* src, std::int32_t count,
                          std::int32_t opacity, bool keep_alpha = false) {
    for (std::int32_t i = 0; i < count; ++i, dst += 4, src += 4) {
        const std::int32_t a = opacity == 255 ? src[3] : src[3] * opacity / 255;
        over_pixel(dst, src, a, keep_alpha);
    }
}

// A row from a 24-bit source under the over operator: a = opacity.
inline void over_row_bgr(std::uint8_t* dst, const std::uint8_t* src, std::int32_t count,
                         std::int32_t opacity, bool keep_alpha = false) {
    for (std::int32_t i = 0; i < count; ++i, dst += 4, src += 3)
        over_pixel(dst, src, opacity, keep_alpha);
}

// A 24-bit source drawn with an opacity in the default mode: opacity 255 copies the colour and
// keeps the destination alpha, 0 draws nothing, anything else is the over operator.
inline void draw_row_bgr(std::uint8_t* dst, const std::uint8_t* src, std::int32_t count,
                         std::int32_t opacity) {
    for (std::int32_t i = 0; i < count; ++i, dst += 4, src += 3) {
        if (opacity == 255) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
        } else if (opacity != 0) {
            over_pixel(dst, src, opacity, false);
        }
    }
}

} // namespace korvel::plain
