// The vocabulary of preference files: the entries a file's lines become, the UTF-8 mark that
// starts the files we write, and the blanks that the syntax skips.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvel {

enum class pref_entry_kind { group, comment, key };

// One non-empty line of a preference file. All texts are UTF-8 bytes, compared as bytes.
struct pref_entry {
    pref_entry_kind kind;
    std::string key;  // the key of a key line; empty for headers and comments
    std::string text; // the group name, the comment text or the value

    bool operator==(const pref_entry&) const = default;
};

// A file's entries in file order.
using pref_entries = std::vector<pref_entry>;

inline constexpr std::string_view pref_utf8_mark = "\xEF\xBB\xBF";

inline bool pref_is_blank(char c) {
    return c == ' ' || c == '\t';
}

inline std::string_view pref_skip_blanks(std::string_view text) {
    while (!text.empty() && pref_is_blank(text.front()))
        text.remove_prefix(1);
    return text;
}

inline std::string_view pref_drop_trailing_blanks(std::string_view text) {
    while (!text.empty() && pref_is_blank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace korvel
