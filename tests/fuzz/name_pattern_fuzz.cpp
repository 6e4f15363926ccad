// Fuzz target: the folder pattern matcher against a plain dynamic-programming matcher. The input's
// UTF-16 units up to the first zero unit are the pattern, the rest the name; both are cut so that
// the reference's table stays small.
#include "runtime/name_order.h"
#include "runtime/name_pattern.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::size_t longest_text = 200;

// The characters of text, a surrogate pair being one.
std::vector<std::u16string_view> characters(std::u16string_view text) {
    std::vector<std::u16string_view> result;
    for (std::size_t i = 0; i < text.size(); i += result.back().size()) {
        const bool pair = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() &&
                          text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        result.push_back(text.substr(i, pair ? 2 : 1));
    }
    return result;
}

// matches[p][s]: the pattern from character p on matches the name from character s on.
bool reference_match(std::u16string_view pattern_text, std::u16string_view name_text) {
    if (pattern_text == korvel::every_name_pattern) return true;
    const auto pattern = characters(pattern_text);
    const auto name = characters(name_text);
    const std::size_t columns = name.size() + 1;
    std::vector<char> matches((pattern.size() + 1) * columns, 0);
    auto at = [&](std::size_t p, std::size_t s) -> char& { return matches[p * columns + s]; };
    at(pattern.size(), name.size()) = 1;
    for (std::size_t p = pattern.size(); p-- > 0;)
        for (std::size_t s = name.size() + 1; s-- > 0;) {
            const bool more = s < name.size();
            const bool same = more && (pattern[p] == u"?" ||
                                       std::ranges::equal(pattern[p], name[s],
                                                          korvel::units_equal_ignoring_case));
            at(p, s) = pattern[p] == u"*" ? at(p + 1, s) || (more && at(p, s + 1))
                                          : same && at(p + 1, s + 1);
        }
    return at(0, 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string units(size / 2, u'\0');
    std::memcpy(units.data(), data, units.size() * 2);
    const std::size_t split = std::min(units.find(u'\0'), units.size());
    const std::u16string_view pattern =
        std::u16string_view(units).substr(0, std::min(split, longest_text));
    const std::u16string_view name =
        std::u16string_view(units).substr(std::min(split + 1, units.size()), longest_text);
    if (korvel::name_matches(pattern, name) != reference_match(pattern, name)) std::abort();
    return 0;
}
