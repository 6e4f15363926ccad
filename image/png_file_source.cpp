// libpng's read callback for PNG files, which counts every read against the row's allowance as
// the memory source does.
#include "image/load_problem.h"
#include "image/png_read_state.h"

#include <cstdio>

namespace korvel {

void png_file_read(png_structp png, png_bytep destination, std::size_t length) {
    decode_context* context = decode_context_current();
    png_take_read_allowance(png, png_read_state_of(context), length);
    if (std::fread(destination, 1, length, context->file) != length) {
        load_problem_note("cut short");
        png_error(png, "PNG file ends early");
    }
}

} // namespace korvel
