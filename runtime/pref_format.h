// From entries to the bytes of a preference file.
#pragma once

#include "runtime/pref_entries.h"

#include <string>

namespace korvel {

// The file's bytes: with_mark puts the UTF-8 mark and an empty line first; then one line per
// entry ("[name]", "; comment", "key = value"), each ended by CR LF. A line break inside a text
// is written as a space, so that every entry stays on its own line and a value can never add
// lines of its own. Throws bad_alloc.
std::string pref_format(const pref_entries& entries, bool with_mark);

} // namespace korvel
