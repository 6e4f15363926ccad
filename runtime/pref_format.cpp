// Writing preference entries in the file format.
#include "runtime/pref_format.h"

namespace korvel {
namespace {

constexpr std::string_view line_end = "\r\n";

void append_text(std::string& out, std::string_view text) {
    for (char c : text)
        out += (c == '\r' || c == '\n') ? ' ' : c;
}

void append_entry(std::string& out, const pref_entry& entry) {
    switch (entry.kind) {
    case pref_entry_kind::group:
        out += '[';
        append_text(out, entry.text);
        out += ']';
        break;
    case pref_entry_kind::comment:
        out += "; ";
        append_text(out, entry.text);
        break;
    case pref_entry_kind::key:
        append_text(out, entry.key);
        out += " = ";
        append_text(out, entry.text);
        break;
    }
    out += line_end;
}

} // namespace

std::string pref_format(const pref_entries& entries, bool with_mark) {
    std::string out;
    if (with_mark) {
        out += pref_utf8_mark;
        out += line_end;
    }
    for (const pref_entry& entry : entries)
        append_entry(out, entry);
    return out;
}

} // namespace korvel
