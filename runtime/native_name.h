// File and folder names as the kernel takes them: the UTF-8 bytes of a UTF-16 text, with the
// escaped bytes of names that were not valid UTF-8 restored, so such names reach the same file.
#pragma once

#include <string>

namespace korvel {

// The native form of text (null counts as "") in out. False only when memory runs out.
bool native_name(const char16_t* text, std::string& out) noexcept;

} // namespace korvel
