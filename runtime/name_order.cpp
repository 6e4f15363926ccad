// Upper-casing of single UTF-16 units and the ordinal name comparison built on it.
//
// The table is fixed on purpose: a locale-dependent rule would list the same folder in different
// orders on different machines, and the frames of a sequence must stack the same way everywhere.
// It covers the scripts whose small letters have a capital one unit away in the same block: ASCII
// a-z; Latin-1 0xE0-0xFE except the division sign 0xF7, and 0xFF (to 0x178); the case pairs of
// Latin Extended-A; basic Greek 0x3B1-0x3C9 except final sigma 0x3C2; basic Cyrillic 0x430-0x45F.
// Letters without such a partner (dotless i, kra, the apostrophe n, long s, sharp s) stay as they
// are, so that upper-casing never merges a letter with a different base letter.
#include "runtime/name_order.h"

#include <algorithm>
#include <cstddef>

namespace korvel {
namespace {

bool in_range(char16_t unit, char16_t first, char16_t last) {
    return unit >= first && unit <= last;
}

// Latin Extended-A alternates capital and small letters, but the parity flips twice in the block.
char16_t latin_extended_a_upper(char16_t unit) {
    const bool small_is_odd = in_range(unit, 0x100, 0x12F) || in_range(unit, 0x132, 0x137) ||
                              in_range(unit, 0x14A, 0x177);
    const bool small_is_even = in_range(unit, 0x139, 0x148) || in_range(unit, 0x179, 0x17E);
    const bool odd = (unit & 1) != 0;
    if ((small_is_odd && odd) || (small_is_even && !odd)) return char16_t(unit - 1);
    return unit;
}

} // namespace

char16_t upper_unit(char16_t unit) {
    if (in_range(unit, u'a', u'z')) return char16_t(unit - 0x20);
    if (unit < 0xE0) return unit;
    if (unit <= 0xFE) return unit == 0xF7 ? unit : char16_t(unit - 0x20);
    if (unit == 0xFF) return 0x178;
    if (unit <= 0x17F) return latin_extended_a_upper(unit);
    if (in_range(unit, 0x3B1, 0x3C9)) return unit == 0x3C2 ? unit : char16_t(unit - 0x20);
    if (in_range(unit, 0x430, 0x44F)) return char16_t(unit - 0x20);
    if (in_range(unit, 0x450, 0x45F)) return char16_t(unit - 0x50);
    return unit;
}

int compare_names(std::u16string_view a, std::u16string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const char16_t upper_a = upper_unit(a[i]);
        const char16_t upper_b = upper_unit(b[i]);
        if (upper_a != upper_b) return upper_a < upper_b ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    const int plain = a.compare(b);
    return plain < 0 ? -1 : (plain > 0 ? 1 : 0);
}

} // namespace korvel
