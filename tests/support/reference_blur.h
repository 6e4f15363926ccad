// What a render must produce, worked out here from the compositing rules one pixel at a time and
// independently of the program: layer opacities, progress values and whole expected frames.
#pragma once

#include "tests/support/test_png.h"

#include <cstdint>
#include <vector>

namespace korvel::test {

// Half away from zero, on the value as the float holds it.
std::int32_t round_half_away(float value);

// The opacities of a frame's L layers: 255 for the first, then A - step, A - 2 * step, ... with
// step = A / L, accumulated in 32-bit floats and rounded half away from zero.
std::vector<std::int32_t> reference_opacities(std::int64_t alpha_levels, std::int64_t layers);

// 100 / (total / L) * frame in double, kept as a float, rounded to nearest with ties to even.
std::int32_t reference_progress(std::int64_t total, std::int64_t layers, std::int32_t frame);

// Draws the layer at (0, 0) onto the canvas with a constant opacity (0 to 255): the over
// operator for a layer with alpha; for one without, a straight colour copy that keeps the canvas
// alpha at opacity 255, nothing at 0, and the over operator at the layer's opacity otherwise.
void draw_layer(rgba_image& canvas, const rgba_image& layer, bool layer_has_alpha,
                std::int32_t opacity);

// The composite of the layers, in drawing order, on a transparent canvas of the given size.
rgba_image composite(int width, int height, const std::vector<const rgba_image*>& layers,
                     bool layers_have_alpha, std::int64_t alpha_levels);

} // namespace korvel::test
