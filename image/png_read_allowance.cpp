// The bound on what libpng may read while it decodes a picture. Once the last row is complete,
// libpng inflates whatever image data follows to check the stream's end; a file of a megabyte can
// hold a gigabyte of such data, which would take seconds of every load. So the rows share one
// allowance, a row's worth for each row, which no sound file comes near, and the check after them
// gets one row's worth of its own. While rows are read, inflating cannot outgrow them, so their
// allowance only bounds the bytes a file makes Korvel read; and being one sum for the whole
// picture, it is what the fast path holds its own reading to as well.
#include "image/png_read_state.h"

namespace korvel {
namespace {

// libpng moves past the last pass of an interlaced picture, and past the last row of a plain
// one, before it checks the rest of the data.
bool rows_complete(png_structp png, const png_read_state* state, std::uint32_t height) {
    if (state->pass_count > 1) return png_get_current_pass_number(png) >= 7;
    return png_get_current_row_number(png) >= height;
}

} // namespace

void png_take_read_allowance(png_structp png, png_read_state* state, std::size_t length) {
    if (!state->reads_bounded) return;
    if (!state->after_picture &&
        rows_complete(png, state, png_get_image_height(png, state->info))) {
        state->after_picture = true;
        state->read_allowance =
            png_row_allowance(static_cast<std::int32_t>(png_get_image_width(png, state->info)));
    }
    if (length > state->read_allowance) {
        state->picture_complete = state->after_picture;
        png_error(png, "image data goes on past the picture");
    }
    state->read_allowance -= length;
}

} // namespace korvel
