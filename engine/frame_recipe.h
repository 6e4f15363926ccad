// One output frame as a plan gives it: which inputs make it, in drawing order, and how much each
// counts: its opacity in a fading stack, or its weight in a weighted mean.
#pragma once

#include <cstdint>
#include <vector>

namespace korvel {

// An input index that names no input: loading it fails, as loading a file with no name does.
inline constexpr std::int64_t NO_INPUT = -1;

struct layer_use {
    std::int64_t input;  // the source's index, from 0, or NO_INPUT
    std::int32_t amount; // opacity (any value: the drawing clamps) or weight (at least 1)
};

struct frame_recipe {
    std::int32_t frame = 0; // the output frame's number, from 1
    bool kept = false;      // its output exists from an earlier run: nothing to make
    std::vector<layer_use> layers;
};

} // namespace korvel
