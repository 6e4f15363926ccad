// The wildcard matcher. It keeps only the latest "*" as a restart point: when a later literal
// fails, that star absorbs one more character and matching resumes after it. Earlier stars never
// need revisiting, because whatever an earlier star could absorb the latest one can absorb too;
// that keeps patterns such as "*a*a*a*b" from backtracking exponentially.
#include "runtime/name_pattern.h"

#include "runtime/name_order.h"

#include <cstddef>

namespace korvel {
namespace {

bool is_high_surrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool is_low_surrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Units taken by the character at index: 2 for a surrogate pair, else 1.
std::size_t char_length(std::u16string_view text, std::size_t index) {
    const bool pair = is_high_surrogate(text[index]) && index + 1 < text.size() &&
                      is_low_surrogate(text[index + 1]);
    return pair ? 2 : 1;
}

bool same_character(std::u16string_view pattern, std::size_t p, std::u16string_view name,
                    std::size_t s) {
    const std::size_t length = char_length(pattern, p);
    if (length != char_length(name, s)) return false;
    for (std::size_t i = 0; i < length; ++i)
        if (!units_equal_ignoring_case(pattern[p + i], name[s + i])) return false;
    return true;
}

} // namespace

bool name_matches(std::u16string_view pattern, std::u16string_view name) {
    if (pattern == every_name_pattern) return true;
    constexpr std::size_t no_star = std::u16string_view::npos;
    std::size_t p = 0;
    std::size_t s = 0;
    std::size_t after_star = no_star;
    std::size_t star_absorbed_to = 0;
    while (s < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            after_star = ++p;
            star_absorbed_to = s;
        } else if (p < pattern.size() &&
                   (pattern[p] == u'?' || same_character(pattern, p, name, s))) {
            const std::size_t taken = char_length(name, s);
            p += pattern[p] == u'?' ? 1 : taken;
            s += taken;
        } else if (after_star != no_star) {
            star_absorbed_to += char_length(name, star_absorbed_to);
            p = after_star;
            s = star_absorbed_to;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

} // namespace korvel
