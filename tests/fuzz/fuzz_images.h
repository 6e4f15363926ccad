// What the image fuzz targets share: the codec registry made ready once (with the PNG decoder, so
// that PNG data is read also inside icons), and a pass over every pixel byte of a decoded picture
// so that the address checker sees a pixel block smaller than its width, height and stride claim.
#pragma once

#include "image/bitmap.h"
#include "image/codec.h"
#include "image/image.h"
#include "image/png_codec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace korvel::fuzz {

inline void ready_image_codecs() {
    images_init();
    codecs_init();
    png_decoder_register();
}

// Every byte of the pixel rows of a bitmap or an icon. A decoder that hands back an impossible
// size has broken its contract: that is a finding too, so the target stops there.
inline void read_every_pixel(image_handle_t handle) {
    const bitmap* picture = bitmap_get(handle);
    if (!picture || picture->width < 1 || picture->height < 1 || picture->width > 32767 ||
        picture->height > 32767)
        std::abort();
    const std::uint8_t* rows = picture->type == OBJ_ICON ? picture->icon_pixels : picture->pixels;
    if (!rows) std::abort();
    const std::size_t bytes = static_cast<std::size_t>(picture->stride) * picture->height;
    volatile std::uint8_t sink = 0;
    for (std::size_t i = 0; i < bytes; ++i)
        sink = sink ^ rows[i];
}

} // namespace korvel::fuzz
