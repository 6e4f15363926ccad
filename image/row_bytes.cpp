// Row sizes of bottom-up pixel blocks: every row padded to a multiple of 4 bytes.
#include "image/bitmap.h"

namespace korvel {

std::int32_t row_bytes(std::int32_t width, std::int32_t depth) {
    switch (depth) {
    case 1:
        return ((width + 31) / 32) * 4;
    case 4:
        return ((width + 7) / 8) * 4;
    case 8:
        return ((width + 3) / 4) * 4;
    case 15:
    case 16:
        return ((width + 1) / 2) * 4;
    case 24:
        return ((width + 1) * 3 / 4) * 4;
    default:
        return width * 4;
    }
}

} // namespace korvel
