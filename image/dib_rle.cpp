// Run-length decoding. Every position a code names is clamped to the bitmap, so no code, however
// damaged, writes outside the row, and the codes are read through a bounded buffer.
#include "image/dib_rle.h"

#include <algorithm>
#include <cstring>

namespace korvel {
namespace {

// The second byte of an escape (a first byte of 0); larger values start an absolute run.
constexpr std::uint8_t END_OF_LINE = 0, END_OF_BITMAP = 1, DELTA = 2;

// Copies the next count bytes of the codes; false when the data ends first.
bool take(rle_rows* r, std::uint8_t* out, std::size_t count) {
    while (count > 0) {
        if (r->used == r->buffered) {
            const auto left = r->source->length - std::min(r->next_byte, r->source->length);
            r->buffered = static_cast<std::size_t>(std::min<std::uint64_t>(left, sizeof r->buffer));
            r->used = 0;
            if (r->buffered == 0 || !source_read(*r->source, r->next_byte, r->buffer, r->buffered))
                return false;
            r->next_byte += r->buffered;
        }
        const std::size_t part = std::min(count, r->buffered - r->used);
        std::memcpy(out, r->buffer + r->used, part);
        r->used += part, out += part, count -= part;
    }
    return true;
}

// Pixel i of a run: a whole byte at 8 bits; at 4 bits the high half first.
std::uint8_t pixel_of(const rle_rows* r, std::uint8_t byte, std::int32_t i) {
    return r->bits == 8 ? byte : (byte >> (i % 2 ? 0 : 4)) & 0x0F;
}

void put(rle_rows* r, std::uint8_t* indices, std::uint8_t index) {
    if (r->x < r->width) indices[r->x++] = index, r->row_set = true;
}

// count pixels stored as they are, in bytes padded to an even number.
bool absolute_run(rle_rows* r, std::uint8_t* indices, std::int32_t count) {
    std::uint8_t stored[256];
    const std::int32_t bytes = r->bits == 8 ? count : (count + 1) / 2;
    if (!take(r, stored, static_cast<std::size_t>(bytes + bytes % 2))) return false;
    for (std::int32_t i = 0; i < count; ++i)
        put(r, indices, pixel_of(r, stored[r->bits == 8 ? i : i / 2], i));
    return true;
}

enum class step { more, row_done, failed };

// What an escape (a first byte of 0) names by its second byte.
step escape(rle_rows* r, std::uint8_t* indices, std::uint8_t what) {
    std::uint8_t move[2];
    switch (what) {
    case END_OF_BITMAP:
        r->ended = true;
        return step::row_done;
    case END_OF_LINE:
        r->x = 0, ++r->code_row;
        return step::row_done;
    case DELTA: // right and up, from where the codes are
        if (!take(r, move, 2)) return step::failed;
        r->x = std::min(r->x + move[0], r->width);
        r->code_row = std::min(r->code_row + move[1], r->height);
        return move[1] > 0 ? step::row_done : step::more;
    default:
        return absolute_run(r, indices, what) ? step::more : step::failed;
    }
}

} // namespace

void rle_start(const byte_source& source, const dib_info& info, std::uint64_t pixel_offset,
               rle_rows* rows) {
    rows->source = &source;
    rows->next_byte = pixel_offset;
    rows->width = info.width, rows->height = info.height, rows->bits = info.rle;
    rows->row_asked = rows->code_row = rows->x = 0;
    rows->ended = rows->row_set = false;
    rows->buffered = rows->used = 0;
}

bool rle_next_row(rle_rows* r, std::uint8_t* indices) {
    std::memset(indices, 0, static_cast<std::size_t>(r->width));
    r->row_set = false;
    if (r->ended || r->code_row > r->row_asked++) return true;
    step next = step::more;
    std::uint8_t code[2];
    while (next == step::more) {
        if (!take(r, code, 2)) return false;
        for (std::int32_t i = 0; i < code[0]; ++i) // a run of one byte's pixels
            put(r, indices, pixel_of(r, code[1], i));
        if (code[0] == 0) next = escape(r, indices, code[1]);
    }
    return next == step::row_done;
}

} // namespace korvel
