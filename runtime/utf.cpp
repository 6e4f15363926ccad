// UTF-8 <-> UTF-16 for file names and preference files. Bytes that are not strict UTF-8 travel
// as lone surrogates U+DC80..U+DCFF, so that any Linux file name survives the round trip.
#include "runtime/utf.h"

#include "runtime/strings.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace korvel {
namespace {

constexpr char32_t escape_base = 0xDC00;
constexpr char32_t escape_first = 0xDC80;
constexpr char32_t escape_last = 0xDCFF;
constexpr char32_t replacement = 0xFFFD;

bool is_high_surrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool is_low_surrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

struct Decoded {
    char32_t code_point;
    std::size_t length; // 0: the lead byte does not begin a valid sequence
};

// Strict decoding: the narrowed range of the second byte rules out overlong forms, encoded
// surrogates and code points above U+10FFFF.
Decoded decode_one(const unsigned char* bytes, std::size_t available) {
    const unsigned lead = bytes[0];
    if (lead < 0x80) return {lead, 1};
    std::size_t length = 0;
    char32_t code_point = 0;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code_point = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code_point = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code_point = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    }
    if (length == 0 || available < length) return {0, 0};
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned byte = bytes[i];
        if (byte < low || byte > high) return {0, 0};
        low = 0x80;
        high = 0xBF;
        code_point = (code_point << 6) | (byte & 0x3F);
    }
    return {code_point, length};
}

// Writes the UTF-16 form of bytes to out, which has room for bytes.size() units (no sequence
// yields more units than it has bytes). Returns the number of units written.
std::size_t decode_utf8(std::string_view bytes, char16_t* out) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t written = 0;
    for (std::size_t i = 0; i < bytes.size();) {
        const Decoded decoded = decode_one(data + i, bytes.size() - i);
        if (decoded.length == 0) {
            out[written++] = static_cast<char16_t>(escape_base + data[i++]);
            continue;
        }
        const char32_t code_point = decoded.code_point;
        if (code_point >= 0x10000) {
            out[written++] = static_cast<char16_t>(0xD800 + ((code_point - 0x10000) >> 10));
            out[written++] = static_cast<char16_t>(0xDC00 + ((code_point - 0x10000) & 0x3FF));
        } else {
            out[written++] = static_cast<char16_t>(code_point);
        }
        i += decoded.length;
    }
    return written;
}

void append_utf8(std::string& out, char32_t code_point) {
    if (code_point < 0x80) {
        out += static_cast<char>(code_point);
    } else if (code_point < 0x800) {
        out += static_cast<char>(0xC0 | (code_point >> 6));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    } else if (code_point < 0x10000) {
        out += static_cast<char>(0xE0 | (code_point >> 12));
        out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code_point >> 18));
        out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    }
}

void encode_utf8(const char16_t* text, std::size_t count, std::string& out) {
    out.reserve(3 * count);
    for (std::size_t i = 0; i < count; ++i) {
        const char32_t unit = text[i];
        if (is_high_surrogate(unit) && i + 1 < count && is_low_surrogate(text[i + 1])) {
            const char32_t low = text[++i];
            append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        } else if (unit >= escape_first && unit <= escape_last) {
            out += static_cast<char>(unit - escape_base);
        } else if (is_high_surrogate(unit) || is_low_surrogate(unit)) {
            append_utf8(out, replacement);
        } else {
            append_utf8(out, unit);
        }
    }
}

} // namespace

std::string utf8_from_utf16(const char16_t* text, std::int32_t length) {
    std::string out;
    if (!text) return out;
    const std::int32_t count = length < 0 ? str_len(text) : length;
    try {
        encode_utf8(text, static_cast<std::size_t>(count), out);
    } catch (const std::bad_alloc&) {
        out.clear();
    }
    return out;
}

std::u16string utf16_from_utf8(std::string_view bytes) {
    std::u16string out;
    try {
        out.resize(bytes.size());
        out.resize(decode_utf8(bytes, out.data()));
    } catch (const std::bad_alloc&) {
        out.clear();
    }
    return out;
}

const char16_t* utf16_from_utf8_at(std::string_view bytes, std::int32_t at) {
    // Bytes inside the workspace itself could move or be overwritten by the reservation.
    if (!bytes.empty() && ws_offset_of(bytes.data()) != 0) {
        const std::u16string text = utf16_from_utf8(bytes);
        char16_t* room = ws_reserve(static_cast<std::int32_t>(text.size()), at);
        std::memcpy(room, text.data(), 2 * text.size());
        room[text.size()] = 0;
        return room;
    }
    // A size beyond what the workspace can hold makes the reservation fail before any write.
    const auto room_count =
        static_cast<std::int32_t>(std::min<std::size_t>(bytes.size(), INT32_MAX));
    char16_t* room = ws_reserve(room_count, at);
    const auto written = static_cast<std::int32_t>(decode_utf8(bytes, room));
    room[written] = 0;
    ws_shrink(room_count - written);
    return room;
}

} // namespace korvel
