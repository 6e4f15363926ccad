// The two modal requesters: the folder chooser and the message box. Both may be called from any
// thread; the dialog runs on the user-interface thread while the caller waits for the answer, and
// the user-interface thread keeps serving its windows meanwhile.
#pragma once

#include <cstdint>

namespace korvel {

// Button sets of request_message (low four bits of flags).
inline constexpr std::uint32_t MESSAGE_OK = 0x0;
inline constexpr std::uint32_t MESSAGE_OK_CANCEL = 0x1;
inline constexpr std::uint32_t MESSAGE_ABORT_RETRY_IGNORE = 0x2;
inline constexpr std::uint32_t MESSAGE_YES_NO_CANCEL = 0x3;
inline constexpr std::uint32_t MESSAGE_YES_NO = 0x4;
inline constexpr std::uint32_t MESSAGE_RETRY_CANCEL = 0x5;
// Icons (bits 4 to 7).
inline constexpr std::uint32_t MESSAGE_ICON_ERROR = 0x10;
inline constexpr std::uint32_t MESSAGE_ICON_QUESTION = 0x20;
inline constexpr std::uint32_t MESSAGE_ICON_WARNING = 0x30;
inline constexpr std::uint32_t MESSAGE_ICON_INFORMATION = 0x40;

// Results of request_message.
inline constexpr std::int32_t ANSWER_OK = 1;
inline constexpr std::int32_t ANSWER_CANCEL = 2;
inline constexpr std::int32_t ANSWER_ABORT = 3;
inline constexpr std::int32_t ANSWER_RETRY = 4;
inline constexpr std::int32_t ANSWER_IGNORE = 5;
inline constexpr std::int32_t ANSWER_YES = 6;
inline constexpr std::int32_t ANSWER_NO = 7;

// Shows a modal message box and returns the button pressed; 0 when it could not be shown or the
// toolkit ended while it was open. A box without a Cancel button (other than the lone OK) cannot
// be dismissed without choosing: Escape and the close box do nothing.
std::int32_t request_message(const char16_t* title, const char16_t* text, std::uint32_t flags);

// Shows a modal folder chooser opened at the initial path (at "/" when that folder does not
// exist) and returns the chosen folder's path ending in "/", or "" when cancelled, written at the
// result position of the calling thread's workspace.
const char16_t* request_folder(const char16_t* title, const char16_t* initial, std::int32_t at);

} // namespace korvel
