// The icon reader: icon files and icon data held in memory, with bitmap or compressed images.
#pragma once

#include "image/bitmap.h"
#include "image/byte_source.h"

#include <cstdint>

namespace korvel {

// A new icon handle for the icon at the start of source, or 0 when it is not icon data this
// system reads or is damaged. Of the entries as large as the first one, the one with the highest
// bit count is taken. source_depth receives the depth of that image's colour bitmap.
image_handle_t icon_read(const byte_source& source, std::int32_t* source_depth);

} // namespace korvel
