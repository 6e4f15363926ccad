// Which way a clip's stored pictures are turned to be shown, as its display matrix says (phones
// store pictures sideways and say so there), and the turning of a decoded frame to match.
#pragma once

#include "image/bitmap.h"

#include <cstdint>

namespace korvel {

// The matrix's linear part, each entry -1, 0 or 1: a shown pixel (x', y'), counted from the top
// left, lies at x' = a x + c y, y' = b x + d y from the stored (x, y), moved back into the picture.
struct orientation {
    int a = 1, b = 0, c = 0, d = 1;
};

// The orientation of a display matrix of nine 16.16 and 2.30 numbers (null: none). Matrices that
// are not quarter turns or mirrorings leave the pictures as stored.
orientation orientation_of(const std::int32_t* matrix);

bool is_upright(const orientation& turn);

// Whether the shown picture is as wide as the stored one is high.
bool swaps_sides(const orientation& turn);

// A new bitmap of the stored one turned as shown; the stored one is freed. 0 when memory runs out.
image_handle_t turned_upright(image_handle_t stored, const orientation& turn);

} // namespace korvel
