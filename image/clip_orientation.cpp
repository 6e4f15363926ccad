// Display matrices read as quarter turns and mirrorings, and frames turned to match.
#include "image/clip_orientation.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace korvel {
namespace {

constexpr std::int32_t ONE = 1 << 16;

// -1, 0 or 1 for a 16.16 entry: a turned picture may be scaled as well.
int sign_of(std::int32_t entry) {
    if (entry >= ONE / 2) return 1;
    return entry <= -ONE / 2 ? -1 : 0;
}

// One entry that is not 0 in each row and each column.
bool quarter_turn(const orientation& t) {
    const bool straight = t.a && t.d && !t.b && !t.c;
    const bool crossed = !t.a && !t.d && t.b && t.c;
    return straight || crossed;
}

// Where the shown coordinate's term starts: 0, or the far edge for a negative one.
int origin(int coefficient, int extent) {
    return coefficient < 0 ? extent - 1 : 0;
}

} // namespace

orientation orientation_of(const std::int32_t* matrix) {
    if (!matrix) return {};
    const orientation turn{sign_of(matrix[0]), sign_of(matrix[1]), sign_of(matrix[3]),
                           sign_of(matrix[4])};
    return quarter_turn(turn) ? turn : orientation{};
}

bool is_upright(const orientation& turn) {
    return turn.a == 1 && turn.d == 1;
}

bool swaps_sides(const orientation& turn) {
    return turn.a == 0;
}

namespace {

// Each stored pixel copied to where it shows; pixels of a fixed size let the copy be one move.
template <int BYTES>
void turn(const bitmap& from, const bitmap& to, const orientation& t) {
    const int width = from.width, height = from.height;
    const int x0 = origin(t.a, width) + origin(t.c, height);
    const int y0 = origin(t.b, width) + origin(t.d, height);
    // Rows are stored bottom-up: row y from the top is row height - 1 - y in memory. Stepping one
    // stored pixel right moves the shown one by a across and b down.
    const std::ptrdiff_t step = std::ptrdiff_t{t.a} * BYTES - std::ptrdiff_t{t.b} * to.stride;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = from.pixels + std::ptrdiff_t{height - 1 - y} * from.stride;
        const int shown_x = x0 + t.c * y, shown_y = y0 + t.d * y;
        std::uint8_t* out = to.pixels + std::ptrdiff_t{to.height - 1 - shown_y} * to.stride +
                            std::ptrdiff_t{shown_x} * BYTES;
        for (int x = 0; x < width; ++x, in += BYTES, out += step)
            std::memcpy(out, in, BYTES);
    }
}

} // namespace

image_handle_t turned_upright(image_handle_t stored, const orientation& t) {
    const bitmap* from = bitmap_get(stored);
    const image_handle_t shown = swaps_sides(t)
                                     ? bitmap_create(from->height, from->width, from->depth)
                                     : bitmap_create(from->width, from->height, from->depth);
    if (const bitmap* to = bitmap_get(shown)) {
        if (from->depth == 32)
            turn<4>(*from, *to, t);
        else
            turn<3>(*from, *to, t);
    }
    bitmap_delete(stored);
    return shown;
}

} // namespace korvel
