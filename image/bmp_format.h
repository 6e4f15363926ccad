// The BMP and icon file layouts: header sizes and field offsets, compression codes, and the
// little-endian field readers and writers that both the readers and the writer use.
#pragma once

#include <cstdint>

namespace korvel {

// File header: "BM", file size (32), two reserved 16-bit fields, pixel data offset (32).
inline constexpr std::uint32_t BMP_FILE_HEADER_SIZE = 14;
inline constexpr std::uint32_t BMP_FILE_DATA_OFFSET = 10;

// Info header sizes this system reads: the old core one (16-bit sizes, 3-byte palette entries),
// the plain one, the two that add colour masks, and the larger ones that add colour space data
// after the masks.
inline constexpr std::uint32_t BMP_CORE_SIZE = 12;
inline constexpr std::uint32_t BMP_INFO_SIZE = 40;
inline constexpr std::uint32_t BMP_INFO_RGB_MASKS_SIZE = 52;
inline constexpr std::uint32_t BMP_INFO_RGBA_MASKS_SIZE = 56;
inline constexpr std::uint32_t BMP_INFO_V4_SIZE = 108;
inline constexpr std::uint32_t BMP_INFO_V5_SIZE = 124;

// Field offsets within the core header, whose rows are always stored bottom-up.
inline constexpr std::uint32_t BMP_CORE_WIDTH = 4;
inline constexpr std::uint32_t BMP_CORE_HEIGHT = 6;
inline constexpr std::uint32_t BMP_CORE_BIT_COUNT = 10;

// Field offsets within the info header.
inline constexpr std::uint32_t BMP_INFO_WIDTH = 4;
inline constexpr std::uint32_t BMP_INFO_HEIGHT = 8;
inline constexpr std::uint32_t BMP_INFO_PLANES = 12;
inline constexpr std::uint32_t BMP_INFO_BIT_COUNT = 14;
inline constexpr std::uint32_t BMP_INFO_COMPRESSION = 16;
inline constexpr std::uint32_t BMP_INFO_IMAGE_SIZE = 20;
inline constexpr std::uint32_t BMP_INFO_COLOURS_USED = 32;
inline constexpr std::uint32_t BMP_INFO_MASKS = 40; // red, green, blue, alpha when present

inline constexpr std::uint32_t BI_RGB = 0;
inline constexpr std::uint32_t BI_RLE8 = 1;
inline constexpr std::uint32_t BI_RLE4 = 2;
inline constexpr std::uint32_t BI_BITFIELDS = 3;

// Icon directory: reserved 0, type 1, entry count; then 16-byte entries of width, height, colour
// count, reserved (bytes), planes, bit count (16-bit), byte length and data offset (32-bit).
inline constexpr std::uint32_t ICON_DIRECTORY_SIZE = 6;
inline constexpr std::uint32_t ICON_ENTRY_SIZE = 16;
inline constexpr std::uint16_t ICON_TYPE = 1;
inline constexpr std::uint32_t ICON_ENTRY_BIT_COUNT = 6;
inline constexpr std::uint32_t ICON_ENTRY_LENGTH = 8;
inline constexpr std::uint32_t ICON_ENTRY_OFFSET = 12;

inline std::uint16_t read_u16le(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t read_u32le(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::int32_t read_i32le(const std::uint8_t* p) {
    return static_cast<std::int32_t>(read_u32le(p));
}

inline void put_u16le(std::uint8_t* p, std::uint16_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void put_u32le(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

} // namespace korvel
