// Whole numbers to and from text, and left padding (the output frame names are built with it).
#include "runtime/strings.h"

#include <algorithm>
#include <cstring>

namespace korvel {
namespace {

constexpr std::int32_t max_decimal_length = 20; // "-9223372036854775808"

// Writes the decimal form of value into digits and returns its length.
std::int32_t format_decimal(std::int64_t value, char16_t (&digits)[max_decimal_length]) {
    // The unsigned magnitude also covers the most negative value, which has no positive twin.
    const auto bits = static_cast<std::uint64_t>(value);
    std::uint64_t magnitude = value < 0 ? 0 - bits : bits;
    char16_t reversed[max_decimal_length];
    std::int32_t count = 0;
    do {
        reversed[count++] = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    std::int32_t length = 0;
    if (value < 0) digits[length++] = u'-';
    while (count > 0)
        digits[length++] = reversed[--count];
    return length;
}

// The value of c as a digit of base, or -1 when it is none.
int digit_value(char16_t c, int base) {
    int value = -1;
    if (c >= u'0' && c <= u'9')
        value = c - u'0';
    else if (c >= u'A' && c <= u'F')
        value = c - u'A' + 10;
    else if (c >= u'a' && c <= u'f')
        value = c - u'a' + 10;
    return value < base ? value : -1;
}

// The length of text, but no more than limit characters are looked at.
std::int32_t length_up_to(const char16_t* text, std::int32_t limit) {
    std::int32_t length = 0;
    if (text) {
        while (length < limit && text[length] != 0)
            ++length;
    }
    return length;
}

} // namespace

const char16_t* str_from_int(std::int64_t value, std::int32_t at) {
    char16_t digits[max_decimal_length];
    const std::int32_t length = format_decimal(value, digits);
    const bool fits_32_bits = value >= INT32_MIN && value <= INT32_MAX;
    const std::int32_t room = fits_32_bits ? 32 : 64;
    char16_t* text = ws_reserve(room, at);
    std::memcpy(text, digits, 2 * static_cast<std::size_t>(length));
    text[length] = 0;
    ws_shrink(room - length);
    return text;
}

std::u16string str_decimal(std::int64_t value) {
    char16_t digits[max_decimal_length];
    return {digits, static_cast<std::size_t>(format_decimal(value, digits))};
}

std::int64_t str_to_int(const char16_t* text) {
    if (!text) return 0;
    while (*text == u' ' || *text == u'\t')
        ++text;
    const bool negative = *text == u'-';
    if (*text == u'-' || *text == u'+') ++text;
    int base = 10;
    if (*text == u'$' || *text == u'%') base = *text++ == u'$' ? 16 : 2;
    // Unsigned arithmetic: overflow wraps modulo 2^64 by definition.
    std::uint64_t value = 0;
    for (int digit; (digit = digit_value(*text, base)) >= 0; ++text) {
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    }
    if (negative) value = 0 - value;
    return static_cast<std::int64_t>(value);
}

const char16_t* str_pad_left(const char16_t* text, std::int32_t width, const char16_t* pad,
                             std::int32_t at) {
    width = std::max(width, 0);
    const std::int32_t kept = length_up_to(text, width);
    const std::int32_t fill = width - kept;
    // An empty pad text would put terminators inside the field; a space keeps it one text.
    const char16_t pad_char = pad && pad[0] != 0 ? pad[0] : u' ';
    // The text may lie in the workspace, even at the result position itself.
    const std::intptr_t source = ws_offset_of(text);
    char16_t* field = ws_reserve(width, at);
    if (kept > 0) {
        const char16_t* from = source ? ws_address_of(source) : text;
        std::memmove(field + fill, from, 2 * static_cast<std::size_t>(kept));
    }
    std::fill_n(field, fill, pad_char);
    field[width] = 0;
    return field;
}

} // namespace korvel
