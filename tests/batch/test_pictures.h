// Input frames for the batch tests, written with libpng: pictures that differ from file to file
// and pixel to pixel, so that a layer taken in the wrong order or at the wrong opacity changes
// the output bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel::test {

struct picture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    int channels = 4;               // 3: RGB, 4: RGBA
    std::vector<std::uint8_t> rgba; // rows from the top, channels bytes per pixel
};

// A smooth pattern shifted by seed, with partly transparent pixels when it has 4 channels.
picture pattern_picture(std::int32_t width, std::int32_t height, int channels, std::uint32_t seed);
// Noise that no compressor shrinks: slow to encode, for renders that must take a while.
picture noise_picture(std::int32_t width, std::int32_t height, std::uint32_t seed);

bool write_png(const std::string& path, const picture& picture);
// The pixels of a PNG file as 8-bit RGBA; width 0 when it cannot be read.
picture read_png_rgba(const std::string& path);

// Writes count pattern frames named prefix + number (zero-filled to 3) + ".png" into folder.
void write_frames(const std::string& folder, int count, std::int32_t width, std::int32_t height,
                  int channels, const std::string& prefix = "frame");

} // namespace korvel::test
