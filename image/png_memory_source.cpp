// libpng's read callback for PNG data held in memory. It finds its source through the calling
// thread's decode context, so several threads can decode from memory at once.
#include "image/png_read_state.h"

#include <cstring>

namespace korvel {

void png_memory_read(png_structp png, png_bytep destination, std::size_t length) {
    decode_context* context = decode_context_current();
    png_read_state* state = png_read_state_of(context);
    png_take_read_allowance(png, state, length);
    const std::size_t remaining =
        static_cast<std::size_t>(context->memory + context->memory_length - state->cursor);
    if (length > remaining) png_error(png, "PNG data ends early");
    std::memcpy(destination, state->cursor, length);
    state->cursor += length;
}

} // namespace korvel
