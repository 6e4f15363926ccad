// Fuzz target: the folder pattern matcher against a plain dynamic-programming matcher. The input's
// UTF-16 units up to the first zero unit are the pattern, the rest the name; both are cut so that
// the reference's table stays small.
#include "runtime/name_order.h"
#include "runtime/name_pattern.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t longest_text = 200;

// The characters of text, a surrogate pair being one.
std::vector<std::u16string_view> characters(std::u16string_view text) {
    std::vector<std::u16string_view> result;
    for (std::size_t i = 0; i < text.size();) {
        const bool pair = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() &&
                          text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        const std::size_t length = pair ? 2 : 1;
        result.push_back(text.substr(i, length));
        i += length;
    }
    return result;
}

bool same_character(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!korvel::units_equal_ignoring_case(a[i], b[i])) return false;
    return true;
}

// matches[p][s]: the pattern from character p matches the name from character s.
bool reference_match(std::u16string_view pattern_text, std::u16string_view name_text) {
    if (pattern_text == korvel::every_name_pattern) return true;
    const auto pattern = characters(pattern_text);
    const auto name = characters(name_text);
    const std::size_t columns = name.size() + 1;
    std::vector<char> matches((pattern.size() + 1) * columns, 0);
    auto at = [&](std::size_t p, std::size_t s) -> char& { return matches[p * columns + s]; };
    at(pattern.size(), name.size()) = 1;
    for (std::size_t p = pattern.size(); p-- > 0;) {
        for (std::size_t s = name.size() + 1; s-- > 0;) {
            const bool more = s < name.size();
            if (pattern[p] == u"*")
                at(p, s) = at(p + 1, s) || (more && at(p, s + 1));
            else
                at(p, s) = more && (pattern[p] == u"?" || same_character(pattern[p], name[s])) &&
                           at(p + 1, s + 1);
        }
    }
    return at(0, 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string units(size / 2, u'\0');
    std::memcpy(units.data(), data, units.size() * 2);
    const std::size_t split = units.find(u'\0');
    const std::u16string_view whole(units);
    const std::u16string_view pattern = whole.substr(0, std::min(split, longest_text));
    const std::u16string_view name = split == std::u16string::npos
                                         ? std::u16string_view{}
                                         : whole.substr(split + 1, longest_text);
    if (korvel::name_matches(pattern, name) != reference_match(pattern, name)) std::abort();
    return 0;
}
