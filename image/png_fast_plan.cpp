// The fast path's first look at a PNG file: its header and the chunks before the image data. A
// file is planned only when libpng's probe would accept it with the same size and depths and
// nothing in it could change a decoded value: one valid IHDR first, a valid PLTE where the colour
// type needs one, and besides them only ancillary chunks that libpng reads without effect on the
// pixels or on the outcome, each with its CRC right. Everything else is left to libpng.
#include "image/byte_source.h"
#include "image/png_chunks.h"
#include "image/png_readers.h"

#include <algorithm>
#include <vector>

namespace korvel {
namespace {

constexpr std::uint32_t HEADER_LENGTH = 13;
constexpr std::uint32_t LARGEST_SIDE = 32767;
constexpr std::uint32_t LARGEST_PALETTE = 256;
// Text and the like are read to check their CRC; a longer one is unusual enough for libpng.
constexpr std::uint32_t LARGEST_SKIPPED_CHUNK = 64 * 1024;

constexpr std::uint32_t IHDR = png_chunk_type("IHDR");
constexpr std::uint32_t PLTE = png_chunk_type("PLTE");
constexpr std::uint32_t IDAT = png_chunk_type("IDAT");
constexpr std::uint32_t SKIPPED[] = {png_chunk_type("tEXt"), png_chunk_type("zTXt"),
                                     png_chunk_type("iTXt"), png_chunk_type("tIME"),
                                     png_chunk_type("pHYs")};

constexpr std::uint8_t PALETTE = 3;

// The bitmap depth and source depth that libpng's conversions give each colour type at 8 bits:
// grey, RGB, palette, grey with alpha, RGBA.
struct colour_depths {
    std::uint8_t colour_type;
    std::int32_t bitmap_depth;
    std::int32_t source_depth;
};
constexpr colour_depths DEPTHS[] = {{0, 24, 8}, {2, 24, 24}, {3, 24, 8}, {4, 32, 8}, {6, 32, 32}};

bool set_depths(std::uint8_t colour_type, decode_context* context) {
    for (const colour_depths& d : DEPTHS) {
        if (d.colour_type != colour_type) continue;
        context->bitmap_depth = d.bitmap_depth;
        context->source_depth = d.source_depth;
        return true;
    }
    return false;
}

// The IHDR chunk right after the signature: 8-bit samples, no interlace, the only compression
// and filter methods, sides that images can hold.
bool header_planned(const byte_source& source, decode_context* context, png_read_state* state) {
    std::uint8_t chunk[PNG_CHUNK_FRAMING + HEADER_LENGTH];
    if (!source_read(source, PNG_SIGNATURE_BYTES, chunk, sizeof chunk)) return false;
    if (png_be32(chunk) != HEADER_LENGTH || png_be32(chunk + 4) != IHDR ||
        !png_chunk_crc_matches(chunk, HEADER_LENGTH))
        return false;
    const std::uint8_t* fields = chunk + PNG_CHUNK_HEAD;
    const std::uint32_t width = png_be32(fields);
    const std::uint32_t height = png_be32(fields + 4);
    if (width < 1 || width > LARGEST_SIDE || height < 1 || height > LARGEST_SIDE) return false;
    if (fields[8] != 8 || fields[10] != 0 || fields[11] != 0 || fields[12] != 0) return false;
    if (!set_depths(fields[9], context)) return false;
    context->width = static_cast<std::int32_t>(width);
    context->height = static_cast<std::int32_t>(height);
    state->file_colour_type = fields[9];
    return true;
}

bool skipped(std::uint32_t type) {
    return std::find(std::begin(SKIPPED), std::end(SKIPPED), type) != std::end(SKIPPED);
}

// The one PLTE of a palette file: 1 to 256 entries.
bool palette_planned(std::uint32_t length, std::uint64_t at, png_read_state* state) {
    if (state->file_colour_type != PALETTE || state->palette_entries != 0) return false;
    if (length == 0 || length % 3 != 0 || length / 3 > LARGEST_PALETTE) return false;
    state->palette_entries = static_cast<std::uint16_t>(length / 3);
    state->palette_at = at + PNG_CHUNK_HEAD;
    return true;
}

// The chunks from after IHDR up to the first IDAT, whose header's place is kept.
bool chunks_planned(const byte_source& source, png_read_state* state) {
    std::vector<std::uint8_t> chunk;
    std::uint64_t at = PNG_SIGNATURE_BYTES + PNG_CHUNK_FRAMING + HEADER_LENGTH;
    for (;;) {
        std::uint8_t head[PNG_CHUNK_HEAD];
        if (!source_read(source, at, head, sizeof head)) return false;
        const std::uint32_t length = png_be32(head);
        const std::uint32_t type = png_be32(head + 4);
        if (type == IDAT) {
            // libpng's probe reads this header too, and refuses a length beyond PNG's largest.
            if (length > PNG_LARGEST_CHUNK) return false;
            state->idat_at = at;
            return state->file_colour_type != PALETTE || state->palette_entries != 0;
        }
        if (length > LARGEST_SKIPPED_CHUNK) return false;
        if (type == PLTE ? !palette_planned(length, at, state) : !skipped(type)) return false;
        chunk.resize(PNG_CHUNK_FRAMING + length);
        if (!source_read(source, at, chunk.data(), chunk.size()) ||
            !png_chunk_crc_matches(chunk.data(), length))
            return false;
        at += chunk.size();
    }
}

} // namespace

bool png_fast_plan(decode_context* context, png_read_state* state) {
    const byte_source source = context->from_memory
                                   ? memory_source(context->memory, context->memory_length)
                                   : file_source(context->file);
    try {
        return header_planned(source, context, state) && chunks_planned(source, state);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace korvel
