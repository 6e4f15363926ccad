// Test frames through libpng's simplified interface.
#include "test_pictures.h"

#include <png.h>

#include <cstdio>

namespace korvel::test {

namespace {

std::uint32_t next_random(std::uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

} // namespace

picture pattern_picture(std::int32_t width, std::int32_t height, int channels, std::uint32_t seed) {
    picture p{width, height, channels, {}};
    p.rgba.reserve(static_cast<std::size_t>(width) * height * channels);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            p.rgba.push_back(static_cast<std::uint8_t>(x * 3 + seed * 37));
            p.rgba.push_back(static_cast<std::uint8_t>(y * 5 + seed * 11));
            p.rgba.push_back(static_cast<std::uint8_t>((x + y) * 7 + seed * 53));
            if (channels == 4) p.rgba.push_back(static_cast<std::uint8_t>(x * y + seed * 29 + 90));
        }
    }
    return p;
}

picture noise_picture(std::int32_t width, std::int32_t height, std::uint32_t seed) {
    picture p{width, height, 4, {}};
    p.rgba.resize(static_cast<std::size_t>(width) * height * 4);
    std::uint32_t state = seed * 2654435761u + 1;
    for (std::uint8_t& byte : p.rgba)
        byte = static_cast<std::uint8_t>(next_random(state) >> 24);
    return p;
}

bool write_png(const std::string& path, const picture& picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = picture.channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path.c_str(), 0, picture.rgba.data(), 0, nullptr) != 0;
}

picture read_png_rgba(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGBA;
    picture p{static_cast<std::int32_t>(image.width), static_cast<std::int32_t>(image.height), 4,
              std::vector<std::uint8_t>(PNG_IMAGE_SIZE(image))};
    if (!png_image_finish_read(&image, nullptr, p.rgba.data(), 0, nullptr)) return {};
    return p;
}

void write_frames(const std::string& folder, int count, std::int32_t width, std::int32_t height,
                  int channels, const std::string& prefix) {
    for (int i = 1; i <= count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%03d.png", i);
        write_png(folder + "/" + prefix + name,
                  pattern_picture(width, height, channels, static_cast<std::uint32_t>(i)));
    }
}

} // namespace korvel::test
