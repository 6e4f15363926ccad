// The two kinds of output frame the encoder sees in practice, as bottom-up BGRA pixel memory, for
// the encoder tests and the encoding benchmark: a frame composited from plain RGB inputs (noisy
// footage averaged into smooth-ish colours, one constant alpha everywhere) and one composited from
// sprite-like RGBA inputs (a moving opaque disc with soft edges smeared over a transparent
// background).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace korvel::bench {

// Compositing plain RGB frames leaves one alpha value in every pixel; which one depends on the
// layer count and the alpha levels.
inline constexpr std::uint8_t rgb_inputs_alpha = 198;

struct workload_noise {
    std::uint32_t state;
    // Roughly bell-shaped around 0, from -spread to +spread.
    int next(int spread) { return step() % (spread + 1) + step() % (spread + 1) - spread; }
    std::uint32_t step() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state >> 8;
    }
};

inline std::uint8_t clamp_sample(double value) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

// A low-contrast colour field with a shape in it, as footage looks once many frames are averaged.
inline double footage_channel(int x, int y, int channel) {
    const double phase = 1.7 * channel;
    const double wave = 12 * std::sin(x * 0.0041 + phase) * std::cos(y * 0.0057 - phase);
    const double shape = std::hypot(x - 0.6 * y - 300.0, y - 400.0) < 260 ? 25.0 : 0.0;
    return 80 + wave + shape + 20 * channel;
}

inline std::vector<std::uint8_t> frame_from_rgb_inputs(int width, int height) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
    workload_noise noise{2463534242u};
    for (int row = 0; row < height; ++row) {
        const int y = height - 1 - row;
        std::uint8_t* p = &pixels[static_cast<std::size_t>(row) * width * 4];
        for (int x = 0; x < width; ++x, p += 4) {
            for (int c = 0; c < 3; ++c)
                p[c] = clamp_sample(footage_channel(x, y, 2 - c) + noise.next(1));
            p[3] = rgb_inputs_alpha;
        }
    }
    return pixels;
}

// How much of the pixel a disc of that radius centred at distance r covers, with a soft rim.
inline double disc_cover(double r, double radius) {
    return std::clamp((radius - r) / 6.0 + 0.5, 0.0, 1.0);
}

inline std::vector<std::uint8_t> frame_from_rgba_inputs(int width, int height) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4, 0);
    workload_noise noise{88172645u};
    const double radius = height * 0.14;
    const int positions = 24; // the disc's places during the frame's layers
    for (int row = 0; row < height; ++row) {
        const int y = height - 1 - row;
        std::uint8_t* p = &pixels[static_cast<std::size_t>(row) * width * 4];
        for (int x = 0; x < width; ++x, p += 4) {
            double cover = 0;
            for (int i = 0; i < positions; ++i) {
                const double cx = width * (0.3 + 0.015 * i);
                const double cy = height * (0.5 + 0.004 * i);
                cover = std::max(cover, disc_cover(std::hypot(x - cx, y - cy), radius) *
                                            (1.0 - i / static_cast<double>(positions)));
            }
            if (cover <= 0) continue;
            const double shade = 1.0 - 0.5 * (y - height * 0.35) / (height * 0.4);
            p[0] = clamp_sample(60 * shade + noise.next(3));
            p[1] = clamp_sample(140 * shade + noise.next(3));
            p[2] = clamp_sample(230 * shade + noise.next(3));
            p[3] = clamp_sample(255 * cover);
        }
    }
    return pixels;
}

} // namespace korvel::bench
