// String variables, concatenation in the workspace, comparison and length.
#include "runtime/strings.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace korvel {
namespace {

constexpr std::size_t variable_slack = 10;

// A fresh block rather than a reallocation, so that a source inside the variable's old block
// stays readable until it has been copied.
void replace_block(str* variable, const char16_t* source, std::int32_t count) {
    auto* block =
        static_cast<char16_t*>(std::malloc(2 * static_cast<std::size_t>(count) + variable_slack));
    if (block) {
        if (count > 0) std::memcpy(block, source, 2 * static_cast<std::size_t>(count));
        block[count] = 0;
    }
    std::free(*variable);
    // Out of memory leaves the empty text, never a dangling or short block.
    *variable = block;
}

} // namespace

std::int32_t str_len(const char16_t* text) {
    if (!text) return 0;
    std::int32_t length = 0;
    while (text[length] != 0)
        ++length;
    return length;
}

void str_append(const char16_t* text) {
    const std::int32_t length = str_len(text);
    // The text may itself lie in the workspace, which the reservation can move.
    const std::intptr_t source = ws_offset_of(text);
    char16_t* room = ws_reserve(length);
    if (length > 0) {
        const char16_t* from = source ? ws_address_of(source) : text;
        std::memmove(room, from, 2 * static_cast<std::size_t>(length));
    }
    room[length] = 0;
}

void str_assign(str* variable, std::int32_t start) {
    const std::int32_t end = ws_position();
    start = std::clamp(start, 0, end);
    if (variable) replace_block(variable, ws_text(start), (end - start) / 2);
    ws_restore(start);
}

std::int32_t str_set(str* variable, const char16_t* text) {
    if (!variable) return 0;
    if (!text) {
        str_free(*variable);
        *variable = nullptr;
        return 2;
    }
    const std::int32_t length = str_len(text);
    replace_block(variable, text, length);
    return *variable ? 2 * length + 2 : 0;
}

void str_free(str block) {
    std::free(block);
}

std::int32_t str_equal(const char16_t* a, const char16_t* b) {
    if (!a) a = u"";
    if (!b) b = u"";
    for (;; ++a, ++b) {
        if (*a != *b) return 0;
        if (*a == 0) return 1;
    }
}

} // namespace korvel
