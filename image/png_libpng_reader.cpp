// The PNG decoder's libpng reader: any PNG data in a file or in memory read into 24-bit BGR or
// 32-bit BGRA bottom-up pixel memory.
//
// libpng reports errors with longjmp, so no function here that libpng can jump over holds an
// object with a destructor; all state lives in the decode context.
#include "image/load_problem.h"
#include "image/png_chunks.h"
#include "image/png_readers.h"
#include "image/png_rows.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace korvel {
namespace {

// Images are held with 16-bit sizes.
constexpr png_uint_32 LARGEST_SIDE = 32767;
// Bounds on what a damaged file can make libpng allocate for ancillary chunks, which are ignored
// anyway: the number of chunks kept and the size of any one chunk (decompressed text included).
constexpr png_uint_32 CHUNK_CACHE_LIMIT = 128;
constexpr png_alloc_size_t CHUNK_MEMORY_LIMIT = 8u << 20;
// libpng allocates (and clears) the length that a chunk header claims before it finds the data
// missing, so a few damaged bytes could cost a gigabyte. No sound file needs one block larger
// than a chunk within the limit above; the widest row is a quarter of a megabyte.
constexpr png_alloc_size_t LARGEST_ALLOCATION = 2 * CHUNK_MEMORY_LIMIT;

png_voidp bounded_malloc(png_structp, png_alloc_size_t size) {
    return size > LARGEST_ALLOCATION ? nullptr : std::malloc(size);
}

void plain_free(png_structp, png_voidp block) {
    std::free(block);
}

void limit_resources(png_structp png) {
    png_set_user_limits(png, LARGEST_SIDE, LARGEST_SIDE);
    png_set_chunk_cache_max(png, CHUNK_CACHE_LIMIT);
    png_set_chunk_malloc_max(png, CHUNK_MEMORY_LIMIT);
}

void attach_source(decode_context* context, png_read_state* state) {
    if (context->from_memory) {
        state->cursor = context->memory;
        png_set_read_fn(state->png, nullptr, png_memory_read);
    } else {
        png_set_read_fn(state->png, nullptr, png_file_read);
        png_set_sig_bytes(state->png, static_cast<int>(PNG_SIGNATURE_BYTES));
    }
}

// Asks for 8-bit BGR or BGRA rows whatever the file holds; returns the picture's source depth.
std::int32_t request_conversions(png_structp png, int colour_type, int bit_depth) {
    std::int32_t source_depth = bit_depth;
    switch (colour_type) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        if (bit_depth < 8) png_set_expand(png);
        png_set_gray_to_rgb(png);
        break;
    case PNG_COLOR_TYPE_PALETTE:
        if (bit_depth < 8) png_set_expand(png);
        png_set_palette_to_rgb(png);
        break;
    case PNG_COLOR_TYPE_RGB:
        source_depth = 24;
        break;
    default:
        source_depth = 32;
        break;
    }
    if (bit_depth == 16) png_set_strip_16(png);
    png_set_bgr(png);
    return source_depth;
}

// Reads the header and requests the conversions; libpng errors jump out of here.
void read_header(decode_context* context, png_read_state* state) {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bit_depth = 0;
    int colour_type = 0;
    int interlace = 0;
    int compression = 0;
    int filter = 0;
    png_read_info(state->png, state->info);
    png_get_IHDR(state->png, state->info, &width, &height, &bit_depth, &colour_type, &interlace,
                 &compression, &filter);
    context->source_depth = request_conversions(state->png, colour_type, bit_depth);
    state->pass_count = static_cast<std::uint8_t>(png_set_interlace_handling(state->png));
    if (colour_type != PNG_COLOR_TYPE_RGB && colour_type != PNG_COLOR_TYPE_RGB_ALPHA) {
        png_read_update_info(state->png, state->info);
        png_get_IHDR(state->png, state->info, &width, &height, &bit_depth, &colour_type, &interlace,
                     &compression, &filter);
    }
    context->width = static_cast<std::int32_t>(width);
    context->height = static_cast<std::int32_t>(height);
    state->colour_type = colour_type;
    context->bitmap_depth = colour_type == PNG_COLOR_TYPE_RGB ? 24 : 32;
}

// Hands libpng one memory row at a time, every pass, the top picture row first, within the
// picture's read allowance: a row's worth for each row handed over.
void read_rows(decode_context* context, std::uint8_t* pixels, std::int32_t stride,
               std::uint32_t row_flags) {
    png_read_state* state = png_read_state_of(context);
    state->reads_bounded = true;
    state->read_allowance = std::size_t{state->pass_count} *
                            static_cast<std::size_t>(context->height) *
                            png_row_allowance(context->width);
    for (std::int32_t pass = 0; pass < state->pass_count; ++pass) {
        for (std::int32_t y = 0; y < context->height; ++y) {
            png_bytep row = pixels + memory_row_offset(y, context->height, stride, row_flags);
            png_read_rows(state->png, &row, nullptr, 1);
        }
    }
}

} // namespace

std::int32_t png_libpng_start(decode_context* context) {
    png_read_state* state = png_read_state_start(context);
    state->png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr, nullptr,
                                          bounded_malloc, plain_free);
    if (state->png == nullptr) return 0;
    if (setjmp(png_jmpbuf(state->png))) {
        load_problem_note("damaged");
        png_libpng_close(context);
        return 0;
    }
    limit_resources(state->png);
    attach_source(context, state);
    state->info = png_create_info_struct(state->png);
    if (state->info == nullptr) {
        png_libpng_close(context);
        return 0;
    }
    read_header(context, state);
    return 1;
}

std::int32_t png_libpng_decode(decode_context* context, std::uint8_t* pixels, std::int32_t stride,
                               std::uint32_t row_flags) {
    png_read_state* state = png_read_state_of(context);
    if (setjmp(png_jmpbuf(state->png))) {
        if (state->picture_complete) return 1;
        load_problem_note("damaged");
        return 0;
    }
    read_rows(context, pixels, stride, row_flags);
    return 1;
}

void png_libpng_close(decode_context* context) {
    png_read_state* state = png_read_state_of(context);
    png_destroy_read_struct(&state->png, &state->info, nullptr);
}

} // namespace korvel
