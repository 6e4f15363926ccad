// Conversions between UTF-16 texts and the UTF-8 bytes of file names and preference files.
//
// Linux file names are bytes and need not be valid UTF-8. Each byte that does not decode becomes a
// lone surrogate U+DC80..U+DCFF on the way in and the same byte again on the way out, so every
// name round-trips.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvel {

// UTF-8 form of a UTF-16 text (null counts as ""). Length -1 means up to the terminator. Escaped
// bytes come back as themselves; any other lone surrogate becomes U+FFFD.
std::string utf8_from_utf16(const char16_t* text, std::int32_t length = -1);

// UTF-16 form of UTF-8 bytes, escaping the bytes that do not decode.
std::u16string utf16_from_utf8(std::string_view bytes);

// The same, written at the result position of the calling thread's workspace.
const char16_t* utf16_from_utf8_at(std::string_view bytes, std::int32_t at);

} // namespace korvel
