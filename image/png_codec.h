// The PNG decoder and encoder, registered with the codec registry at start-up.
#pragma once

#include "image/bitmap.h"

#include <cstdint>

namespace korvel {

// Register once; later calls do nothing.
void png_decoder_register();
void png_encoder_register();

// The common writer: colour type 2 for 3-byte source pixels, 6 for 4-byte ones; depth 1 to 8
// takes the palette path. Non-zero on success.
std::int32_t png_encode(const char16_t* file_name, const std::uint8_t* pixels, std::int32_t width,
                        std::int32_t height, std::int32_t stride, std::uint32_t row_flags,
                        std::uint32_t flags, std::int32_t depth, std::int32_t colour_type);

// Writes a 32-bit bitmap as an RGBA PNG, as png_encode writes it, and frees the bitmap as soon as
// its rows are filtered: a frame being saved then never holds its pixels and the compressor's
// tables at once. The bitmap is freed whatever the outcome. Non-zero on success.
std::int32_t png_encode_releasing(image_handle_t canvas, const char16_t* file_name);

} // namespace korvel
