// From a preference file's bytes to its entries. Pure functions of their input, so that any byte
// sequence can be thrown at them.
#pragma once

#include "runtime/pref_entries.h"

#include <string>
#include <string_view>

namespace korvel {

// The file's contents as UTF-8 without the mark: a file that starts with the UTF-8 mark is taken
// as UTF-8 (invalid sequences are kept as they are), any other as ISO 8859-1. Throws bad_alloc.
std::string pref_decode(std::string_view file_bytes);

// The lines of UTF-8 contents as entries, in order. Lines end at CR, LF or the end of the
// contents; lines that are empty once their leading blanks are skipped give no entry. A key line
// without "=" is a key with an empty value. Throws bad_alloc.
pref_entries pref_parse(std::string_view contents);

} // namespace korvel
