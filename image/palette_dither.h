// Error diffusion for the palette quantizer: maps a row to palette indices while carrying the
// difference between what was asked for and what the palette gave, so areas keep their mean
// colour.
#pragma once

#include "image/palette_search.h"

#include <array>
#include <cstdint>

namespace korvel {

struct dither_state {
    // Blue, green, red, alpha error left at the end of the row mapped last.
    std::array<std::int32_t, 4> carried;
};

// Maps width 4-byte pixels of row to indices and pushes the error into next_row, the row that
// will be mapped next (the row itself when there is none). Both rows are changed.
void dither_row(dither_state& state, std::uint8_t* row, std::uint8_t* next_row, std::int32_t width,
                palette_search& search, const std::uint8_t* palette, std::uint8_t* indices);

} // namespace korvel
