// Texts between the program's UTF-16 strings, Qt's QString and the calling thread's workspace.
#include "ui/qt_text.h"

#include "runtime/strings.h"

#include <algorithm>

namespace korvel {

QString to_qstring(const char16_t* text) {
    return text ? QString::fromUtf16(text) : QString();
}

QString to_qstring(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

std::u16string text_copy(const char16_t* text) {
    return text ? std::u16string(text) : std::u16string();
}

const char16_t* ws_write_text(const std::u16string& text, std::int32_t at) {
    const auto length = static_cast<std::int32_t>(text.size());
    char16_t* room = ws_reserve(length + 1, at);
    std::copy(text.begin(), text.end(), room);
    room[length] = u'\0';
    ws_shrink(1);
    return ws_text(at);
}

} // namespace korvel
