// Damage done to PNG files on disk as users meet it: a header claiming a picture size that the
// data does not hold (its CRC made right again, so that nothing but the size gives the file
// away), and a file cut short inside its image data, as an interrupted copy leaves it.
// Header-only, for the image, batch and window tests alike.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace korvel::test {

inline void put_big_endian(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// Rewrites the width and height of the file's IHDR (which follows the signature); false when the
// file is too short to hold one or cannot be rewritten.
inline std::vector<std::uint8_t> file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline bool rewrite_file(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

inline bool claim_picture_size(const std::string& path, std::uint32_t width, std::uint32_t height) {
    constexpr std::size_t type_at = 12;
    constexpr std::size_t data_at = 16;
    constexpr std::size_t crc_at = data_at + 13;
    std::vector<std::uint8_t> bytes = file_bytes(path);
    if (bytes.size() < crc_at + 4) return false;
    put_big_endian(bytes, data_at, width);
    put_big_endian(bytes, data_at + 4, height);
    put_big_endian(bytes, crc_at, static_cast<std::uint32_t>(crc32(0, &bytes[type_at], 17)));
    return rewrite_file(path, bytes);
}

// Cuts the file in the middle of its first IDAT chunk's data; false when it has none.
inline bool cut_inside_image_data(const std::string& path) {
    std::vector<std::uint8_t> bytes = file_bytes(path);
    for (std::size_t at = 8; at + 8 <= bytes.size();) {
        const std::uint32_t length = std::uint32_t{bytes[at]} << 24 |
                                     std::uint32_t{bytes[at + 1]} << 16 |
                                     std::uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
        if (std::string(bytes.begin() + at + 4, bytes.begin() + at + 8) == "IDAT") {
            bytes.resize(at + 8 + length / 2);
            return length >= 2 && rewrite_file(path, bytes);
        }
        at += 12 + length;
    }
    return false;
}

} // namespace korvel::test
