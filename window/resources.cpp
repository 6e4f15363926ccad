// Access to the embedded artwork (the bytes themselves are generated at build time).
#include "window/resources.h"

namespace korvel {

#define KORVEL_EMBEDDED(name)                                                                      \
    extern const unsigned char embedded_##name[];                                                  \
    extern const std::size_t embedded_##name##_size;
KORVEL_EMBEDDED(button_render)
KORVEL_EMBEDDED(button_quit)
KORVEL_EMBEDDED(icon_16)
KORVEL_EMBEDDED(icon_24)
KORVEL_EMBEDDED(icon_32)
KORVEL_EMBEDDED(icon_48)
KORVEL_EMBEDDED(icon_64)
KORVEL_EMBEDDED(icon_96)
KORVEL_EMBEDDED(icon_128)
KORVEL_EMBEDDED(icon_256)
#undef KORVEL_EMBEDDED

embedded_file resource_button_up() {
    return {embedded_button_render, embedded_button_render_size};
}
embedded_file resource_button_down() {
    return {embedded_button_quit, embedded_button_quit_size};
}

embedded_file resource_icon(int index) {
    static const embedded_file icons[RESOURCE_ICON_COUNT] = {
        {embedded_icon_16, embedded_icon_16_size},   {embedded_icon_24, embedded_icon_24_size},
        {embedded_icon_32, embedded_icon_32_size},   {embedded_icon_48, embedded_icon_48_size},
        {embedded_icon_64, embedded_icon_64_size},   {embedded_icon_96, embedded_icon_96_size},
        {embedded_icon_128, embedded_icon_128_size}, {embedded_icon_256, embedded_icon_256_size},
    };
    return index >= 0 && index < RESOURCE_ICON_COUNT ? icons[index] : embedded_file{nullptr, 0};
}

} // namespace korvel
