// The arithmetic of status-bar fields, kept apart from the widgets so that it can be checked
// exactly.
#pragma once

#include <cstdint>

namespace korvel {

// Right edges of the fields: running sums of the widths, where every SIZE_KEEP field gets an equal
// share (integer division) of what the fixed widths leave of usable_width.
void statusbar_field_edges(const std::int32_t* widths, std::int32_t count,
                           std::int32_t usable_width, std::int32_t* right_edges);

// Pixels of an owner-drawn progress field of field_width pixels that are filled at value: none at
// or below minimum, the whole inner width (field_width - 2) at or above maximum, else the inner
// width scaled by the value's share of the range, multiplying first and rounding down.
std::int32_t progress_fill_width(std::int32_t field_width, std::int32_t value, std::int32_t minimum,
                                 std::int32_t maximum);

} // namespace korvel
