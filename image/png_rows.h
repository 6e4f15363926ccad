// Where a picture row lives in pixel memory, for the PNG reader and writer alike.
#pragma once

#include "image/codec.h"

#include <cstddef>
#include <cstdint>

namespace korvel {

// The memory row holding picture row y (0 = top) of a picture of that height.
inline std::int32_t memory_row_of(std::int32_t y, std::int32_t height, std::uint32_t row_flags) {
    return (row_flags & ROWS_BOTTOM_UP) ? height - 1 - y : y;
}

inline std::ptrdiff_t memory_row_offset(std::int32_t y, std::int32_t height, std::int32_t stride,
                                        std::uint32_t row_flags) {
    return static_cast<std::ptrdiff_t>(memory_row_of(y, height, row_flags)) * stride;
}

} // namespace korvel
