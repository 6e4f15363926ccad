// Texts between the program's UTF-16 strings, Qt's QString and the calling thread's workspace.
#pragma once

#include <QString>

#include <cstdint>
#include <string>

namespace korvel {

// A null text is the empty text.
QString to_qstring(const char16_t* text);
QString to_qstring(const std::u16string& text);

// The copy in which a text goes to the user-interface thread: Qt's shared strings are not handed
// from thread to thread, so the QString is made where it is used.
std::u16string text_copy(const char16_t* text);

// Writes the text at the result position of the calling thread's workspace and leaves the
// position on its terminator; returns the text's address there.
const char16_t* ws_write_text(const std::u16string& text, std::int32_t at);

} // namespace korvel
