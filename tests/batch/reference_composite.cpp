// Reference frames: the slow, obvious form of the compositing arithmetic.
#include "reference_composite.h"

#include <cmath>

namespace korvel::test {

namespace {

void over(std::uint8_t* d, const std::uint8_t* s, int a) {
    if (a == 0) return;
    const int da = d[3];
    for (int c = 0; c < 3; ++c) {
        d[c] = da == 0 ? s[c]
                       : static_cast<std::uint8_t>((s[c] * a * 255 + d[c] * (255 - a) * da) /
                                                   ((255 - a) * da + a * 255));
    }
    d[3] = static_cast<std::uint8_t>((a * 255 + (255 - a) * da) / 255);
}

// A layer without alpha copies its colour at full opacity and leaves the canvas alpha alone.
void draw_pixel(std::uint8_t* d, const std::uint8_t* s, int channels, int opacity) {
    if (channels == 4) {
        over(d, s, s[3] * opacity / 255);
    } else if (opacity == 255) {
        for (int c = 0; c < 3; ++c)
            d[c] = s[c];
    } else {
        over(d, s, opacity);
    }
}

} // namespace

std::vector<int> layer_opacities(std::int64_t alpha_levels, std::int64_t layers) {
    std::vector<int> opacities{255};
    const auto step = static_cast<float>(static_cast<double>(alpha_levels) / layers);
    float alpha = static_cast<float>(alpha_levels);
    for (std::int64_t i = 1; i < layers; ++i) {
        alpha = alpha - step;
        const double x = alpha;
        opacities.push_back(static_cast<int>(x > 0 ? std::floor(x + 0.5) : std::ceil(x - 0.5)));
    }
    return opacities;
}

picture reference_composite(const std::vector<const picture*>& layers, std::int64_t alpha_levels) {
    const picture& base = *layers.front();
    picture frame{
        base.width, base.height, 4,
        std::vector<std::uint8_t>(static_cast<std::size_t>(base.width) * base.height * 4)};
    const std::vector<int> opacities =
        layer_opacities(alpha_levels, static_cast<std::int64_t>(layers.size()));
    for (std::size_t i = 0; i < layers.size(); ++i) {
        const picture& layer = *layers[i];
        for (std::size_t p = 0; p < frame.rgba.size() / 4; ++p) {
            draw_pixel(&frame.rgba[p * 4],
                       &layer.rgba[p * static_cast<std::size_t>(layer.channels)], layer.channels,
                       opacities[i]);
        }
    }
    return frame;
}

} // namespace korvel::test
