// Palette learning by a self-organising network of colours in four channels (blue, green, red,
// alpha), trained on a sample of the picture on the quantizer's gamma curve.
#pragma once

#include <cstdint>

namespace korvel {

// Learns 1 << depth palette entries (depth 1 to 8) for the 4-byte blue, green, red, alpha pixels:
// height rows of width pixels, stride bytes apart. Writes the entries to palette as blue, green,
// red, alpha, back off the gamma curve. The same pixels always give the same palette.
void neuquant_learn(const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                    std::int32_t stride, std::int32_t depth, std::uint8_t* palette);

} // namespace korvel
