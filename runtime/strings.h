// Texts and the per-thread string workspace.
//
// Every text is UTF-16, ended by a zero unit; a null pointer is the empty text. Computed texts are
// built in the calling thread's workspace, a growable buffer addressed by byte offsets (the block
// moves when it grows, so only offsets survive a later reservation). Every operation that returns
// a text takes the result position as its last argument, writes the text and its terminator
// there, and leaves the workspace position on that terminator.
//
// Building an argument:   int32_t at = ws_position(); ...build...; ws_finish();
//                         call(ws_text(at)); ws_restore(at);
// Keeping a text:         str_assign(&var, at);
// An operation that reads a text argument and then reserves workspace room must take the
// argument's offset with ws_offset_of first and re-form it with ws_address_of afterwards.
#pragma once

#include <cstdint>
#include <string>

namespace korvel {

// A string variable: null or the address of a block holding exactly its text plus 10 bytes.
using str = char16_t*;

// Creates the calling thread's workspace; the first call of the program (idempotent). A thread
// that uses the workspace without either call gets one on first use all the same. A workspace
// that cannot grow ends the process: its callers write into the room they asked for.
void strings_init();
// The first call of every thread procedure: gives the thread its own workspace, released after
// the thread ends.
void strings_thread_init();

std::int32_t ws_position();
// Reserves room for count characters at start (-1: the current position); position becomes
// start + 2 * count. Returns the room's address, valid until the next reservation. A negative
// count reserves nothing.
char16_t* ws_reserve(std::int32_t count, std::int32_t start = -1);
std::int32_t ws_shrink(std::int32_t count);
void ws_finish();
std::uint8_t* ws_base();
void ws_restore(std::int32_t saved);
const char16_t* ws_result(std::int32_t saved);
// 1 + the byte offset of address when it lies in the workspace block, else 0.
std::intptr_t ws_offset_of(const void* address);
const char16_t* ws_address_of(std::intptr_t offset_plus_one);

// The text that starts at byte offset at of the workspace (valid until the next reservation).
inline const char16_t* ws_text(std::int32_t at) {
    return reinterpret_cast<const char16_t*>(ws_base() + at);
}

// Appends text at the current position, over the terminator of the text built so far.
void str_append(const char16_t* text);
// Copies the text from start to the current position into the variable; position becomes start.
void str_assign(str* variable, std::int32_t start);
// Variable := copy of text; returns 2 * length + 2. A null text frees the variable and returns 2.
// When memory runs out the variable becomes null (the empty text) and 0 is returned; str_assign
// does the same without a result.
std::int32_t str_set(str* variable, const char16_t* text);
void str_free(str block);
// 1 when the texts are equal code unit by code unit (null counts as ""), else 0.
std::int32_t str_equal(const char16_t* a, const char16_t* b);
std::int32_t str_len(const char16_t* text);

// Shortest decimal form of value ("-" for negatives), written at the result position.
const char16_t* str_from_int(std::int64_t value, std::int32_t at);
// The same form as a text of its own, for callers that keep it past the workspace's next use.
std::u16string str_decimal(std::int64_t value);
// Leading blanks, one sign, "$" hex or "%" binary prefix, digits until the first non-digit,
// wrapping modulo 2^64. Never fails: what cannot be read gives 0.
std::int64_t str_to_int(const char16_t* text);
// text right-aligned in a field of width characters, filled on the left with pad's first
// character (a space when pad is null) and cut on the right when longer. The text may itself lie
// at the result position.
const char16_t* str_pad_left(const char16_t* text, std::int32_t width, const char16_t* pad,
                             std::int32_t at);

} // namespace korvel
