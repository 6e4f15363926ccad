// The PNG decoder's state inside the calling thread's decode context, shared by the decoder and
// its memory read callback.
#pragma once

#include "image/codec.h"

#include <png.h>

#include <cstdint>
#include <new>

namespace korvel {

struct png_read_state {
    png_structp png;
    png_infop info;
    const std::uint8_t* cursor; // memory sources: the next byte to hand to libpng
    std::int32_t colour_type;   // after the requested conversions: 2 (RGB) or 6 (RGBA)
    std::int32_t pass_count;    // 7 for interlaced files, else 1
};

static_assert(sizeof(png_read_state) <= sizeof(decode_context::decoder_fields));
static_assert(alignof(png_read_state) <= 8);

// Starts a fresh state in the context's decoder fields.
inline png_read_state* png_read_state_start(decode_context* context) {
    return new (context->decoder_fields) png_read_state{};
}

inline png_read_state* png_read_state_of(decode_context* context) {
    return std::launder(reinterpret_cast<png_read_state*>(context->decoder_fields));
}

// libpng's read callback for memory sources.
void png_memory_read(png_structp png, png_bytep destination, std::size_t length);

} // namespace korvel
