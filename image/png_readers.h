// The PNG decoder's two readers. The fast one reads the common files itself: 8-bit, not
// interlaced, grey, RGB, palette, grey with alpha or RGBA, without chunks that change decoded
// values; it vouches for its result only when libpng would give the same, and otherwise leaves
// the file to libpng, which reads every PNG file.
#pragma once

#include "image/png_read_state.h"

#include <cstdint>

namespace korvel {

// Plans the fast reading of the source from its start: reads the header and the chunks before the
// image data. True when the fast path takes the file, with the context's size and depths set as
// libpng's probe would set them; false, with nothing noted, when it leaves the file to libpng.
bool png_fast_plan(decode_context* context, png_read_state* state);

// Reads a planned picture into the pixels (bitmap_depth pixels, stride bytes per row, row order
// by row_flags). False, with nothing noted, when the fast path cannot vouch for the result: the
// pixels then hold anything and libpng is to read the file.
bool png_fast_decode(decode_context* context, const png_read_state& state, std::uint8_t* pixels,
                     std::int32_t stride, std::uint32_t row_flags);

// libpng's reading, for a source positioned just past its signature (memory sources are read
// from their start, signature included). Start reads the header and requests the conversions: 1
// on success, else 0 with the cause noted and libpng's structures gone.
std::int32_t png_libpng_start(decode_context* context);
std::int32_t png_libpng_decode(decode_context* context, std::uint8_t* pixels, std::int32_t stride,
                               std::uint32_t row_flags);
void png_libpng_close(decode_context* context);

} // namespace korvel
