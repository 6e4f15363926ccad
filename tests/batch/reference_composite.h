// Output frames computed from the input pictures without the engine: the opacity ramp of a frame
// and the over operator, pixel by pixel, straight from their definitions.
#pragma once

#include "test_pictures.h"

#include <cstdint>
#include <vector>

namespace korvel::test {

// The opacities of a frame's layers in drawing order: 255, then A - step, A - 2 step, ... with
// step = A / L, accumulated in 32-bit floats and rounded half away from zero.
std::vector<int> layer_opacities(std::int64_t alpha_levels, std::int64_t layers);

// The frame made by drawing the layers, in the order given, onto a transparent canvas of the
// first layer's size; 8-bit RGBA rows from the top.
picture reference_composite(const std::vector<const picture*>& layers, std::int64_t alpha_levels);

} // namespace korvel::test
