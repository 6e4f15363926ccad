// Preference files: groups of "key = value" lines, one current file per thread, parsed when
// opened and written back in one piece at close when something was written.
#pragma once

#include <cstdint>

namespace korvel {

void prefs_init();
void prefs_end();

// Creates (or empties) the file and makes it current. Non-zero on success, 0 on failure (also
// while another handle holds the file with write access).
std::intptr_t pref_create(const char16_t* name);

// Opens an existing file and makes it current. Non-zero when it was opened. 0 otherwise: for a
// missing file, writes still work and create it at close; a file that exists but cannot be opened
// or read leaves no current file, so nothing can replace its contents unread.
std::intptr_t pref_open(const char16_t* name);

// Selects a group (null or "" the top section). 1 when it exists, else 0; the next write then
// creates it at the end of the file.
std::int32_t pref_group(const char16_t* name);

// Stores value under key in the current group. Non-zero when stored, 0 with no current file.
std::int32_t pref_write_string(const char16_t* key, const char16_t* value);

// The value of key in the current group (blanks trimmed), or a copy of def, at the result position.
const char16_t* pref_read_string(const char16_t* key, const char16_t* def, std::int32_t at);

// Writes the file back if something was written (unless it could only be opened for reading),
// then forgets it.
void pref_close();

} // namespace korvel
