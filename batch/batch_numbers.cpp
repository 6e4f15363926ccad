// Command-line numbers. Validation is separate from conversion so that an accepted number has
// exactly the value the window would give the same text.
#include "batch/batch_numbers.h"

#include "runtime/strings.h"
#include "runtime/utf.h"

#include <charconv>
#include <limits>
#include <string_view>

namespace korvel {

namespace {

int digit_value(char c, int base) {
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value < base ? value : -1;
}

// Digits of base making up all of text, with a magnitude no larger than limit.
bool digits_within(std::string_view text, int base, std::uint64_t limit) {
    if (text.empty()) return false;
    std::uint64_t magnitude = 0;
    for (char c : text) {
        const int digit = digit_value(c, base);
        if (digit < 0) return false;
        const auto b = static_cast<std::uint64_t>(base);
        if (magnitude > (limit - static_cast<std::uint64_t>(digit)) / b) return false;
        magnitude = magnitude * b + static_cast<std::uint64_t>(digit);
    }
    return true;
}

bool whole_number_form(std::string_view text) {
    const std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) return false;
    text.remove_prefix(start);
    const bool negative = text.front() == '-';
    if (negative || text.front() == '+') text.remove_prefix(1);
    int base = 10;
    if (!text.empty() && (text.front() == '$' || text.front() == '%')) {
        base = text.front() == '$' ? 16 : 2;
        text.remove_prefix(1);
    }
    const std::uint64_t limit =
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
    return digits_within(text, base, limit);
}

// A frame number: decimal digits only, from 1 to the largest 32-bit value.
std::optional<std::int32_t> read_frame_number(std::string_view text) {
    std::int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || text.front() == '-' || error != std::errc() || stop != end || value < 1)
        return std::nullopt;
    return value;
}

// Decimal digits only, as a value no larger than limit.
std::optional<std::int64_t> read_digits(std::string_view text, std::int64_t limit) {
    if (!digits_within(text, 10, static_cast<std::uint64_t>(limit))) return std::nullopt;
    std::int64_t value = 0;
    for (char c : text)
        value = value * 10 + (c - '0');
    return value;
}

// "A/B" with 32-bit A and B, or a decimal "I.F" as (I·10^n + F) / 10^n with I at most
// whole_limit, as written.
std::optional<rational> read_fraction(std::string_view text, std::int64_t whole_limit) {
    constexpr std::int64_t limit = std::numeric_limits<std::int32_t>::max();
    const std::size_t slash = text.find('/');
    if (slash != std::string_view::npos) {
        const auto num = read_digits(text.substr(0, slash), limit);
        const auto den = read_digits(text.substr(slash + 1), limit);
        if (!num || !den) return std::nullopt;
        return rational{*num, *den};
    }
    const std::size_t point = text.find('.');
    const std::string_view decimals =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    if (decimals.size() > 6 || (point != std::string_view::npos && decimals.empty()))
        return std::nullopt;
    const auto whole = read_digits(text.substr(0, point), whole_limit);
    const auto part =
        decimals.empty() ? std::optional<std::int64_t>(0) : read_digits(decimals, limit);
    if (!whole || !part) return std::nullopt;
    std::int64_t scale = 1;
    for (std::size_t d = 0; d < decimals.size(); ++d)
        scale *= 10;
    return rational{*whole * scale + *part, scale};
}

} // namespace

std::optional<frame_rate> read_frame_rate(const char* text) {
    const auto rate = read_ratio(text, 1000);
    if (!rate) return std::nullopt;
    return frame_rate{static_cast<std::int32_t>(rate->num), static_cast<std::int32_t>(rate->den)};
}

std::optional<rational> read_ratio(const char* text, std::int32_t most) {
    if (!text) return std::nullopt;
    const auto ratio = read_fraction(text, most);
    if (!ratio || ratio->num < 1 || ratio->den < 1 || ratio->num > ratio->den * most)
        return std::nullopt;
    rational lowest;
    rational_of(ratio->num, ratio->den, &lowest);
    return lowest;
}

std::optional<std::uint32_t> read_colour(const char* text) {
    if (!text) return std::nullopt;
    std::string_view name(text);
    if (name == "black") return 0x000000u;
    if (name == "white") return 0xFFFFFFu;
    if (!name.empty() && name.front() == '#') name.remove_prefix(1);
    if (name.size() != 6 || !digits_within(name, 16, 0xFFFFFF)) return std::nullopt;
    std::uint32_t colour = 0;
    for (char c : name)
        colour = colour * 16 + static_cast<std::uint32_t>(digit_value(c, 16));
    return colour;
}

std::optional<std::int64_t> read_whole_number(const char* text) {
    if (!text || !whole_number_form(text)) return std::nullopt;
    return str_to_int(utf16_from_utf8(text).c_str());
}

std::optional<frame_range> read_frame_range(const char* text) {
    if (!text) return std::nullopt;
    const std::string_view range(text);
    const std::size_t dash = range.find('-');
    const auto first = read_frame_number(range.substr(0, dash));
    if (!first) return std::nullopt;
    if (dash == std::string_view::npos) return frame_range{*first, *first};
    const std::string_view tail = range.substr(dash + 1);
    if (tail.empty()) return frame_range{*first, std::numeric_limits<std::int32_t>::max()};
    const auto last = read_frame_number(tail);
    if (!last || *last < *first) return std::nullopt;
    return frame_range{*first, *last};
}

} // namespace korvel
