// Decoding and parsing of preference files.
#include "runtime/pref_parse.h"

namespace korvel {
namespace {

// Every ISO 8859-1 byte is the code point of the same value.
std::string latin1_to_utf8(std::string_view bytes) {
    std::string utf8;
    utf8.reserve(bytes.size() * 2);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (b >> 6));
            utf8 += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return utf8;
}

pref_entry parse_comment(std::string_view rest) {
    if (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    return {pref_entry_kind::comment, {}, std::string(rest)};
}

// Blanks inside the brackets are part of the name; whatever follows the "]" is ignored.
pref_entry parse_group(std::string_view rest) {
    return {pref_entry_kind::group, {}, std::string(rest.substr(0, rest.find(']')))};
}

// The value keeps its trailing blanks; readers trim them, the writer rewrites them unchanged.
pref_entry parse_key(std::string_view line) {
    const std::size_t equals = line.find('=');
    const std::string_view key = pref_drop_trailing_blanks(line.substr(0, equals));
    const std::string_view value = equals == std::string_view::npos
                                       ? std::string_view{}
                                       : pref_skip_blanks(line.substr(equals + 1));
    return {pref_entry_kind::key, std::string(key), std::string(value)};
}

// line starts with its first non-blank character.
pref_entry parse_line(std::string_view line) {
    switch (line.front()) {
    case ';':
        return parse_comment(line.substr(1));
    case '[':
        return parse_group(line.substr(1));
    default:
        return parse_key(line);
    }
}

} // namespace

std::string pref_decode(std::string_view file_bytes) {
    if (file_bytes.starts_with(pref_utf8_mark))
        return std::string(file_bytes.substr(pref_utf8_mark.size()));
    return latin1_to_utf8(file_bytes);
}

pref_entries pref_parse(std::string_view contents) {
    pref_entries entries;
    std::size_t start = 0;
    while (start < contents.size()) {
        std::size_t end = contents.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = contents.size();
        const std::string_view line = pref_skip_blanks(contents.substr(start, end - start));
        if (!line.empty()) entries.push_back(parse_line(line));
        // A run of line breaks gives empty lines, which the check above drops.
        start = end + 1;
    }
    return entries;
}

} // namespace korvel
