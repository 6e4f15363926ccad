// PNG's framing as the fast reader meets it: big-endian numbers, chunk types, and each chunk's
// CRC over its type and data.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

inline constexpr std::size_t PNG_SIGNATURE_BYTES = 8;
// Length and type before a chunk's data, CRC after it.
inline constexpr std::size_t PNG_CHUNK_HEAD = 8;
inline constexpr std::size_t PNG_CHUNK_FRAMING = 12;
// The largest chunk length PNG allows.
inline constexpr std::uint32_t PNG_LARGEST_CHUNK = 0x7FFFFFFF;

inline std::uint32_t png_be32(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
           std::uint32_t{bytes[2]} << 8 | bytes[3];
}

// A chunk type as png_be32 reads its four letters.
constexpr std::uint32_t png_chunk_type(const char (&name)[5]) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(name[0])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(name[1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(name[2])) << 8 |
           static_cast<unsigned char>(name[3]);
}

// chunk points at a chunk's length field, and the whole chunk, length bytes of data and the CRC
// after them, lies in memory: whether the CRC matches.
bool png_chunk_crc_matches(const std::uint8_t* chunk, std::uint32_t length);

} // namespace korvel
