// The PNG decoder: recognises PNG data in a file or in memory and reads it into 24-bit BGR or
// 32-bit BGRA bottom-up pixel memory, through the fast reader where it takes the file and
// libpng otherwise; callers cannot tell which did.
#include "image/png_chunks.h"
#include "image/png_codec.h"
#include "image/png_readers.h"

#include <cstdio>
#include <cstring>

namespace korvel {
namespace {

// Set on threads that are to read through libpng alone: read once per probe.
thread_local bool libpng_alone = false;

bool signature_matches(decode_context* context) {
    png_byte signature[PNG_SIGNATURE_BYTES];
    if (context->from_memory) {
        if (context->memory == nullptr || context->memory_length < PNG_SIGNATURE_BYTES)
            return false;
        std::memcpy(signature, context->memory, PNG_SIGNATURE_BYTES);
    } else if (context->file == nullptr || std::fread(signature, 1, PNG_SIGNATURE_BYTES,
                                                      context->file) != PNG_SIGNATURE_BYTES) {
        return false;
    }
    return png_sig_cmp(signature, 0, PNG_SIGNATURE_BYTES) == 0;
}

// libpng's reading from the start again, after the fast path has read anywhere in the source.
std::int32_t restart_with_libpng(decode_context* context) {
    if (!context->from_memory &&
        std::fseek(context->file, static_cast<long>(PNG_SIGNATURE_BYTES), SEEK_SET) != 0)
        return 0;
    return png_libpng_start(context);
}

std::int32_t png_probe(decode_context* context) {
    if (!signature_matches(context)) return 0;
    png_read_state* state = png_read_state_start(context);
    if (!libpng_alone && png_fast_plan(context, state)) {
        state->fast = true;
        return 1;
    }
    return restart_with_libpng(context);
}

// A file that the fast path cannot vouch for is read again by libpng into cleared pixels, as if
// the fast path had never looked at it.
std::int32_t png_decode(decode_context* context, std::uint8_t* pixels, std::int32_t stride,
                        std::uint32_t row_flags) {
    const png_read_state* state = png_read_state_of(context);
    if (!state->fast) return png_libpng_decode(context, pixels, stride, row_flags);
    if (png_fast_decode(context, *state, pixels, stride, row_flags)) return 1;
    std::memset(pixels, 0, static_cast<std::size_t>(stride) * context->height);
    if (!restart_with_libpng(context)) return 0;
    return png_libpng_decode(context, pixels, stride, row_flags);
}

void png_close(decode_context* context) {
    png_libpng_close(context);
}

} // namespace

void png_decoder_register() {
    static const decoder_entry entry{png_probe, png_decode, png_close};
    static const bool registered = (decoder_register(&entry), true);
    (void)registered;
}

void png_decode_through_libpng(bool on) {
    libpng_alone = on;
}

} // namespace korvel
