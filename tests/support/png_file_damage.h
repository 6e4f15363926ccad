// Damage done to PNG files as users meet it, for the image, batch and window tests: a header
// claiming a size the data does not hold (its CRC made right), and a file cut short inside its
// image data as an interrupted copy leaves it. False when the file cannot be so damaged.
#pragma once

#include "tests/support/scratch_folder.h"

#include <zlib.h>

#include <fstream>
#include <string>

namespace korvel::test {

inline bool claim_picture_size(const std::string& path, std::uint32_t width, std::uint32_t height) {
    std::string b = read_file(path);
    if (b.size() < 33) return false;
    for (int i = 0; i < 4; ++i) // IHDR's data follows the signature, its length and its type
        b[16 + i] = char(width >> (24 - 8 * i)), b[20 + i] = char(height >> (24 - 8 * i));
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(b.data()) + 12, 17);
    for (int i = 0; i < 4; ++i)
        b[29 + i] = char(crc >> (24 - 8 * i));
    return bool(std::ofstream(path, std::ios::binary | std::ios::trunc) << b);
}

inline bool cut_inside_image_data(const std::string& path) {
    std::string b = read_file(path);
    for (std::size_t at = 8, length = 0; at + 8 <= b.size(); at += 12 + length) {
        length = std::uint32_t(std::uint8_t(b[at])) << 24 | std::uint8_t(b[at + 1]) << 16 |
                 std::uint8_t(b[at + 2]) << 8 | std::uint8_t(b[at + 3]);
        if (b.compare(at + 4, 4, "IDAT") != 0) continue;
        b.resize(at + 8 + length / 2);
        return length >= 2 && bool(std::ofstream(path, std::ios::binary | std::ios::trunc) << b);
    }
    return false;
}

} // namespace korvel::test
