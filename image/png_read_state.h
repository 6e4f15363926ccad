// The PNG decoder's state inside the calling thread's decode context, shared by the decoder, its
// fast path and libpng's read callbacks.
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
    // Bytes that libpng may still read: first for the whole picture, then, once its rows are
    // complete, for the check of the data after them. Unbounded outside row reading.
    std::size_t read_allowance;
    // The fast path's plan: where the first IDAT chunk's header starts and where the PLTE
    // chunk's entries do, both counted from the start of the source.
    std::uint64_t idat_at;
    std::uint64_t palette_at;
    std::int32_t colour_type;      // after the requested conversions: 2 (RGB) or 6 (RGBA)
    std::uint16_t palette_entries; // the fast path's palette files: 1 to 256
    std::uint8_t pass_count;       // 7 for interlaced files, else 1
    std::uint8_t file_colour_type; // the fast path's: the colour type the file stores
    bool fast;                     // the fast path reads the picture, libpng only if it cannot
    bool reads_bounded;
    bool after_picture; // the allowance is the one for the data after the rows
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

// What libpng may read for one row beyond the row's widest possible bytes (8 per pixel and the
// filter byte): its IDAT read size of 8 KiB, chunk framing and deflate's block overhead.
inline constexpr std::size_t ROW_READ_SLACK = 16 * 1024;

// The read allowance of one row of a picture that wide, and of the check after the last row.
inline std::size_t png_row_allowance(std::int32_t width) {
    return std::size_t{8} * static_cast<std::size_t>(width) + 1 + ROW_READ_SLACK;
}

// Counts a read of length bytes against the allowance; a libpng error when it is used up.
void png_take_read_allowance(png_structp png, png_read_state* state, std::size_t length);

// libpng's read callbacks for memory and file sources.
void png_memory_read(png_structp png, png_bytep destination, std::size_t length);
void png_file_read(png_structp png, png_bytep destination, std::size_t length);

} // namespace korvel
