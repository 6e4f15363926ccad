// The order and case rule of folder names: names compare by their UTF-16 code units after
// upper-casing each unit, so a folder lists the same way on every machine, whatever the locale.
#pragma once

#include <string_view>

namespace korvel {

// The unit's capital letter, or the unit itself when it has none in the fixed table.
char16_t upper_unit(char16_t unit);

// Negative, zero or positive as a sorts before, with or after b: first by the upper-cased units
// (ordinal, a prefix first), and names that differ only in case by their plain units, so that
// the order is total and no two different names tie.
int compare_names(std::u16string_view a, std::u16string_view b);

// True when the two units are the same letter regardless of case (or the same unit).
inline bool units_equal_ignoring_case(char16_t a, char16_t b) {
    return upper_unit(a) == upper_unit(b);
}

} // namespace korvel
