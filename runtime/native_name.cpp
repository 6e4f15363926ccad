// Conversion of UTF-16 names to native bytes without letting an allocation failure escape.
#include "runtime/native_name.h"

#include "runtime/utf.h"

#include <new>

namespace korvel {

bool native_name(const char16_t* text, std::string& out) noexcept {
    try {
        out = utf8_from_utf16(text);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace korvel
