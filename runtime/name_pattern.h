// Wildcard patterns for folder names: "*" matches any run of characters (also none), "?" exactly
// one character, and every other character itself regardless of case. A dot is an ordinary
// character, so "*.png" matches "X.PNG" but not "x.pngx"; the one exception is "*.*", the
// conventional way of asking for every name, which matches names without a dot too.
#pragma once

#include <string_view>

namespace korvel {

// The pattern that asks for every name (what an empty pattern means to a folder enumeration).
inline constexpr std::u16string_view every_name_pattern = u"*.*";

// True when name matches pattern. A surrogate pair counts as one character. Runs in time
// proportional to the product of the lengths at worst, whatever the pattern.
bool name_matches(std::u16string_view pattern, std::u16string_view name);

} // namespace korvel
