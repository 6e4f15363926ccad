// The compositing rules written out plainly, one pixel and one channel at a time.
#include "blur_reference.h"

#include <algorithm>
#include <cmath>

namespace korvel::app_test {

namespace {

// One canvas pixel under a source colour with effective alpha a (0 to 255).
void over_pixel(std::uint8_t* canvas, const std::uint8_t* source, std::int32_t a) {
    if (a == 0) return;
    const std::int32_t da = canvas[3];
    for (int c = 0; c < 3; ++c) {
        if (da == 0) {
            canvas[c] = source[c];
            continue;
        }
        const std::int32_t numerator = source[c] * a * 255 + canvas[c] * (255 - a) * da;
        canvas[c] = static_cast<std::uint8_t>(numerator / ((255 - a) * da + a * 255));
    }
    canvas[3] = static_cast<std::uint8_t>((a * 255 + (255 - a) * da) / 255);
}

void draw_pixel(std::uint8_t* canvas, const std::uint8_t* source, bool has_alpha,
                std::int32_t opacity) {
    if (has_alpha) {
        over_pixel(canvas, source, source[3] * opacity / 255);
        return;
    }
    if (opacity == 255) {
        std::copy(source, source + 3, canvas);
        return;
    }
    over_pixel(canvas, source, opacity);
}

} // namespace

std::int32_t round_half_away(float value) {
    const double x = value;
    return static_cast<std::int32_t>(x > 0 ? std::floor(x + 0.5) : std::ceil(x - 0.5));
}

std::vector<std::int32_t> reference_opacities(std::int64_t alpha_levels, std::int64_t layers) {
    std::vector<std::int32_t> opacities;
    float alpha = static_cast<float>(alpha_levels);
    const auto step =
        static_cast<float>(static_cast<double>(alpha_levels) / static_cast<double>(layers));
    for (std::int64_t layer = 0; layer < layers; ++layer) {
        opacities.push_back(layer == 0 ? 255 : round_half_away(alpha));
        alpha = alpha - step;
    }
    return opacities;
}

std::int32_t reference_progress(std::int64_t total, std::int64_t layers, std::int32_t frame) {
    const double frames = static_cast<double>(total) / static_cast<double>(layers);
    const auto percent = static_cast<float>(100.0 / frames * frame);
    const float whole = std::floor(percent);
    const float rest = percent - whole;
    if (rest > 0.5f || (rest == 0.5f && std::fmod(whole, 2.0f) != 0.0f))
        return static_cast<std::int32_t>(whole) + 1;
    return static_cast<std::int32_t>(whole);
}

void draw_layer(rgba_image& canvas, const rgba_image& layer, bool layer_has_alpha,
                std::int32_t opacity) {
    const int width = std::min(canvas.width, layer.width);
    const int height = std::min(canvas.height, layer.height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            draw_pixel(canvas.at(x, y), layer.at(x, y), layer_has_alpha, opacity);
}

rgba_image composite(int width, int height, const std::vector<const rgba_image*>& layers,
                     bool layers_have_alpha, std::int64_t alpha_levels) {
    rgba_image canvas = blank_image(width, height);
    const std::vector<std::int32_t> opacities =
        reference_opacities(alpha_levels, static_cast<std::int64_t>(layers.size()));
    for (std::size_t i = 0; i < layers.size(); ++i)
        draw_layer(canvas, *layers[i], layers_have_alpha, opacities[i]);
    return canvas;
}

} // namespace korvel::app_test
