// The desktop services the program needs besides its windows.
#pragma once

#include "image/bitmap.h"

#include <cstdint>

namespace korvel {

// Opens a web address with the desktop's default handler; whether it opened is not reported.
void desktop_open_address(const char16_t* address);

// Gives every window the icon made of these images (one per size); returns the number of images
// used. User-interface thread only.
std::int32_t desktop_set_icon(const image_handle_t* images, std::int32_t count);

} // namespace korvel
