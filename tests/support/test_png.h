// PNG files written and read with libpng directly, so that the program's inputs are made and its
// outputs are inspected without any of its own code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel::test {

// Straight-alpha pixels, rows from the top, four bytes per pixel: red, green, blue, alpha.
struct rgba_image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;

    std::uint8_t* at(int x, int y) { return &rgba[(static_cast<std::size_t>(y) * width + x) * 4]; }
    const std::uint8_t* at(int x, int y) const {
        return &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
    }
    bool operator==(const rgba_image&) const = default;
};

rgba_image blank_image(int width, int height);
// A smooth pattern shifted by seed, so that a layer taken in the wrong order or at the wrong
// opacity changes the output; partly transparent where with_alpha (else alpha 255).
rgba_image pattern_image(int width, int height, std::uint32_t seed, bool with_alpha);
// Noise that no compressor shrinks: slow to encode, for renders that must take a while.
rgba_image noise_image(int width, int height, std::uint32_t seed);

// Writes an 8-bit RGBA file (colour type 6) or, without alpha, an 8-bit RGB file (colour type 2,
// the alpha bytes left out). False when the file cannot be written.
bool write_png(const std::string& path, const rgba_image& image, bool with_alpha);
// Writes count pattern frames named prefix + number (zero-filled to 3) + ".png" into folder.
void write_frames(const std::string& folder, int count, int width, int height, bool with_alpha,
                  const std::string& prefix = "frame");

struct png_read {
    bool ok = false;
    std::string error;
    int colour_type = -1;
    int bit_depth = 0;
    int interlace = -1;
    rgba_image image; // filled for 8-bit RGBA files without interlace only
};

// Reads a whole file as it is stored, without transformations.
png_read read_png(const std::string& path);
// Any PNG file converted to 8-bit RGBA by libpng; width 0 when it cannot be read.
rgba_image read_png_rgba(const std::string& path);

} // namespace korvel::test
