// Pixels as drawing reads them, and owned blocks for the converted copies that some drawings need.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace korvel {

// Bottom-up rows of width pixels of bytes_per_pixel bytes (2: 5-5-5, 3: blue, green, red,
// 4: blue, green, red, alpha), pitch bytes apart.
struct pixel_view {
    const std::uint8_t* pixels;
    std::int32_t width;
    std::int32_t height;
    std::int32_t bytes_per_pixel;
    std::int32_t pitch;
};

using pixel_block = std::unique_ptr<std::uint8_t[]>;

// Null when the memory cannot be had; drawing then draws nothing instead of failing.
inline pixel_block allocate_pixels(std::size_t bytes) {
    return pixel_block(new (std::nothrow) std::uint8_t[bytes]);
}

} // namespace korvel
