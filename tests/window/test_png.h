// PNG files written and read with libpng directly, so that the program's inputs are made and its
// outputs are inspected without any of its own code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel::app_test {

// Straight-alpha pixels, rows from the top, four bytes per pixel: red, green, blue, alpha.
struct rgba_image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;

    std::uint8_t* at(int x, int y) { return &rgba[(static_cast<std::size_t>(y) * width + x) * 4]; }
    const std::uint8_t* at(int x, int y) const {
        return &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
    }
};

rgba_image blank_image(int width, int height);

// Writes an 8-bit RGBA file (colour type 6) or, without alpha, an 8-bit RGB file (colour type 2,
// the alpha bytes left out). False when the file cannot be written.
bool write_png(const std::string& path, const rgba_image& image, bool with_alpha);

struct png_read {
    bool ok = false;
    std::string error;
    int colour_type = -1;
    int bit_depth = 0;
    int interlace = -1;
    rgba_image image; // filled for 8-bit RGBA files only
};

// Reads a whole file as it is stored, without transformations.
png_read read_png(const std::string& path);

} // namespace korvel::app_test
