// The arithmetic of status-bar fields.
#include "ui/statusbar_layout.h"

#include "ui/statusbar.h"

#include <algorithm>

namespace korvel {

void statusbar_field_edges(const std::int32_t* widths, std::int32_t count,
                           std::int32_t usable_width, std::int32_t* right_edges) {
    std::int64_t fixed = 0;
    std::int32_t sharing = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        if (widths[i] == SIZE_KEEP)
            ++sharing;
        else
            fixed += widths[i];
    }
    const std::int64_t share = sharing ? (usable_width - fixed) / sharing : 0;
    std::int64_t edge = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        edge += widths[i] == SIZE_KEEP ? share : widths[i];
        right_edges[i] = static_cast<std::int32_t>(edge);
    }
}

std::int32_t progress_fill_width(std::int32_t field_width, std::int32_t value, std::int32_t minimum,
                                 std::int32_t maximum) {
    const std::int64_t inner =
        std::max<std::int64_t>(static_cast<std::int64_t>(field_width) - 2, 0);
    if (value <= minimum) return 0;
    if (value >= maximum) return static_cast<std::int32_t>(inner);
    // 64-bit, so that a wide field or range cannot overflow the product.
    const std::int64_t done = static_cast<std::int64_t>(value) - minimum;
    const std::int64_t range = static_cast<std::int64_t>(maximum) - minimum;
    return static_cast<std::int32_t>(inner * done / range);
}

} // namespace korvel
