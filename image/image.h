// Numbered images: each owns a bitmap (or an icon) of known width, height and depth.
#pragma once

#include "image/bitmap.h"
#include "runtime/object_table.h"

#include <cstdint>

namespace korvel {

// Flag of image_create's depth argument: start fully transparent instead of opaque black.
inline constexpr std::uint32_t IMAGE_TRANSPARENT = 0x100;

// The image table's record. handle comes first: it is 0 exactly for a free number.
struct image_record {
    image_handle_t handle;
    std::int16_t width;
    std::int16_t height;
    std::uint8_t depth;        // 24 or 32 for created and decoded images
    std::uint8_t source_depth; // the picture's depth where it came from
};

void images_init();
void images_end();

// A new image: depth_and_flags holds the depth (below 24 raised to 24) and IMAGE_TRANSPARENT.
// 32-bit images start opaque black (0xFF000000) or, with IMAGE_TRANSPARENT, all zero; 24-bit
// images start black. Returns the handle (identifier for NUMBER_ANY), or 0 with the number empty.
obj_number image_create(obj_number n, std::int32_t width, std::int32_t height,
                        std::uint32_t depth_and_flags);
void image_free(obj_number n);
obj_number image_is_valid(obj_number n);
image_handle_t image_handle(obj_number n);
std::int32_t image_width(obj_number n);
std::int32_t image_height(obj_number n);

// Makes a bitmap that was loaded or made elsewhere image n (freeing what lived there first); the
// image owns it from then on, and a handle that names nothing is deleted. Returns what
// image_create returns.
obj_number image_adopt(obj_number n, image_handle_t handle, std::int32_t source_depth);

// Takes image n's bitmap out of the image without deleting it: the number becomes free and the
// caller owns the handle (0 when there was no image).
image_handle_t image_detach(obj_number n);

// The record of image n, or null.
image_record* image_lookup(obj_number n);

} // namespace korvel
