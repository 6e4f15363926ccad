// Colour reduction to a palette of 2^depth entries (a four-channel neural-network quantizer with
// gamma 1.8), with optional error-diffusion dithering; shared by the PNG and BMP writers.
#pragma once

#include <cstdint>

namespace korvel {

struct palette_quantizer;

// Learns a palette for the pixels (24- or 32-bit, stride bytes per memory row) for an output depth
// of 1 to 8. flags may hold SAVE_DITHER. Null when memory runs out or the depth is out of range.
palette_quantizer* quantizer_create(const std::uint8_t* pixels, std::int32_t width,
                                    std::int32_t height, std::int32_t bits_per_pixel,
                                    std::int32_t stride, std::int32_t depth, std::uint32_t flags);

// 2^depth entries of blue, green, red, alpha.
const std::uint8_t* quantizer_palette(const palette_quantizer* quantizer);
std::int32_t quantizer_gamma_times_100000(const palette_quantizer* quantizer);

// The packed indices (most significant bits first) of one memory row; rows are produced in the
// order the writer asks for them.
const std::uint8_t* quantizer_row(palette_quantizer* quantizer, std::int32_t memory_row);

void quantizer_free(palette_quantizer* quantizer);

} // namespace korvel
