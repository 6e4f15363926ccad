// The artwork built into the program: the start button's two faces and the application icon.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

struct embedded_file {
    const std::uint8_t* data;
    std::size_t size;
};

// The button's face while it is up ("Render") and while a render runs ("Quit"): 97 x 37 RGBA PNG.
embedded_file resource_button_up();
embedded_file resource_button_down();

// The pinwheel icon as PNG files of 16, 24, 32, 48, 64, 96, 128 and 256 pixels.
inline constexpr int RESOURCE_ICON_COUNT = 8;
embedded_file resource_icon(int index);

} // namespace korvel
