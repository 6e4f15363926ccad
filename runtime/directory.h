// Numbered folder enumerations: the names in a folder that match a pattern, in a fixed order.
//
// Names are delivered sorted by their UTF-16 code units after upper-casing (ordinal), so the same
// folder gives the same order on every machine and run, and frames stack in the order of their
// names. Patterns: "*" any run, "?" one character, letters without regard to case (see
// name_pattern.h). Every matching entry is delivered, folders and "." and ".." included. The
// listing is read once by dir_examine; later changes to the folder do not show in it.
#pragma once

#include "runtime/object_table.h"

#include <cstdint>

namespace korvel {

// Starts (or restarts) enumeration n over folder (null or "" is the current directory) with
// pattern (null or "" is every name). Non-zero when the enumeration exists, also when nothing
// matches; 0 when the folder cannot be read, and then no enumeration is left under n. For
// NUMBER_ANY the result is the identifier.
obj_number dir_examine(obj_number n, const char16_t* folder, const char16_t* pattern);

// Non-zero when a further entry was delivered; 0 at the end or when there is no enumeration n.
std::int32_t dir_next_entry(obj_number n);

// The current entry's name at the result position: the first entry before any dir_next_entry,
// the last delivered entry after the end, "" for an enumeration that found nothing or does not
// exist.
const char16_t* dir_entry_name(obj_number n, std::int32_t at);

// Ends enumeration n and frees the number.
void dir_finish(obj_number n);

} // namespace korvel
