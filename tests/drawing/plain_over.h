// The yardstick for the compositing rows, for tests and the benchmark: the over operator one pixel
// at a time, straight from its integer formula, with no shortcut beyond the ones it states.
#pragma once

#include <cstdint>

namespace korvel::plain {

// A 32-bit destination pixel (blue, green, red, alpha) under colour s at effective alpha a.
inline void over_pixel(std::uint8_t* d, const std::uint8_t* s, std::int32_t a, bool keep_alpha) {
    const std::int32_t da = d[3];
    if (a == 0) return;
    for (int c = 0; c < 3; ++c)
        d[c] = da == 0 ? s[c]
                       : std::uint8_t((s[c] * a * 255 + d[c] * (255 - a) * da) /
                                      ((255 - a) * da + a * 255));
    if (!keep_alpha) d[3] = std::uint8_t((a * 255 + (255 - a) * da) / 255);
}

// A row from a 32-bit source, a = Sa * opacity / 255, or from a 24-bit one, a = opacity.
inline void over_row_bgra(std::uint8_t* dst, const std::uint8_t* src, std::int32_t count,
                          std::int32_t opacity, bool keep_alpha = false) {
    for (std::int32_t i = 0; i < count; ++i, dst += 4, src += 4)
        over_pixel(dst, src, opacity == 255 ? src[3] : src[3] * opacity / 255, keep_alpha);
}
inline void over_row_bgr(std::uint8_t* dst, const std::uint8_t* src, std::int32_t count,
                         std::int32_t opacity, bool keep_alpha = false) {
    for (std::int32_t i = 0; i < count; ++i, dst += 4, src += 3)
        over_pixel(dst, src, opacity, keep_alpha);
}

// A 24-bit source in the default mode: at 255 its colour, the destination alpha kept.
inline void draw_row_bgr(std::uint8_t* dst, const std::uint8_t* src, std::int32_t count,
                         std::int32_t opacity) {
    if (opacity != 255) return over_row_bgr(dst, src, count, opacity);
    for (std::int32_t i = 0; i < count; ++i)
        for (int c = 0; c < 3; ++c)
            dst[i * 4 + c] = src[i * 3 + c];
}

} // namespace korvel::plain
