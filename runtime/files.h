// Numbered file objects and the two path operations, delete and set attributes.
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

void files_init();
void files_end();

// Opens an existing file for reading, sharing it for reading only: fails while another handle
// holds it with write access. Non-zero handle (identifier for NUMBER_ANY), or 0.
obj_number file_open_read(obj_number n, const char16_t* name);

// Closes file n and frees the number; NUMBER_ANY itself and free numbers are ignored.
void file_close(obj_number n);

// Non-zero when the file was deleted; 0 for a null name, a missing file, or while a handle that
// does not share deletion holds it.
std::int32_t file_delete(const char16_t* name);

// Applies the attribute bits: read-only clears the write permission bits, normal or archive
// without read-only restores the owner's. Hidden and system have no counterpart here. Non-zero
// only when everything asked for was applied.
std::int32_t file_set_attributes(const char16_t* name, std::uint32_t bits);

} // namespace korvel
