// Numbered file objects and the path operations: delete, rename and set attributes.
#pragma once

#include "runtime/object_table.h"

#include <cstdint>

namespace korvel {

// Attribute bits of file_set_attributes.
inline constexpr std::uint32_t FILE_ATTRIBUTE_READONLY = 0x01;
inline constexpr std::uint32_t FILE_ATTRIBUTE_HIDDEN = 0x02;
inline constexpr std::uint32_t FILE_ATTRIBUTE_SYSTEM = 0x04;
inline constexpr std::uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr std::uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;

// Creates the file table (start-up); closes every open file (end of program).
void files_init();
void files_end();

// Opens an existing regular file for reading, sharing it for reading only: fails while another
// handle holds it with write access. Returns the file's handle (its descriptor + 1, never 0), the
// identifier for NUMBER_ANY, or 0. A file still open under n is closed first.
obj_number file_open_read(obj_number n, const char16_t* name);

// Closes file n and frees the number; NUMBER_ANY itself and free numbers are ignored.
void file_close(obj_number n);

// Non-zero when the file was deleted; 0 for a null name, a missing file, or while a handle that
// does not share deletion holds it.
std::int32_t file_delete(const char16_t* name);

// Renames from to to, replacing an existing to atomically (a reader sees the old file or the new
// one, never a partial one). Non-zero on success; 0 for a null name, or while a handle that does
// not share deletion holds either file.
std::int32_t file_rename(const char16_t* from, const char16_t* to);

// Applies the attribute bits: read-only clears the write permission bits, normal or archive
// without read-only restores the owner's. Hidden and system have no counterpart here. Non-zero
// only when everything asked for was applied; 0 also for a null name or a missing file.
std::int32_t file_set_attributes(const char16_t* name, std::uint32_t bits);

} // namespace korvel
