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
    // Bytes that libpng may still read for the row being decoded; unbounded outside row reading.
    bool reads_bounded;
    std::size_t read_allowance;
    // Set when the allowance ran out after the last row was complete: only the check of the
    // data after the picture was cut short.
    bool picture_complete;
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

// Counts a read of length bytes against the allowance; a libpng error when it is used up.
void png_take_read_allowance(png_structp png, png_read_state* state, std::size_t length);

// libpng's read callbacks for memory and file sources.
void png_memory_read(png_structp png, png_bytep destination, std::size_t length);
void png_file_read(png_structp png, png_bytep destination, std::size_t length);

} // namespace korvel
