// Pixel owners behind image handles: bitmaps (a zero-filled block of bottom-up rows) and icons.
//
// A handle is a non-zero 32-bit value that names one live object. Handles are never reused while
// the process runs, so a stale or invented handle is recognised as such and never dereferenced.
#pragma once

#include <cstdint>

namespace korvel {

using image_handle_t = std::uint32_t;

// Object types as the drawing and toolkit code ask for them.
inline constexpr std::int32_t OBJ_BITMAP = 7;
inline constexpr std::int32_t OBJ_ICON = 100;

// Bytes per row of a bitmap of that width and depth, padded to a multiple of 4.
std::int32_t row_bytes(std::int32_t width, std::int32_t depth);

struct bitmap {
    std::int32_t type;   // OBJ_BITMAP or OBJ_ICON
    std::int32_t width;  // pixels
    std::int32_t height; // pixels; rows are stored bottom-up
    std::int32_t depth;  // bits per pixel: 24 or 32 (16 for 16-bit BMP files as loaded); for
                         // icons the depth of the icon's own colour bitmap
    std::int32_t stride; // bitmaps: row_bytes(width, depth); icons: width * 4, the icon_pixels rows
    // Pixel memory, height * stride bytes: 32-bit pixels blue, green, red, alpha (straight);
    // 24-bit pixels blue, green, red. Null for icons, which hold no pixel memory of their own.
    std::uint8_t* pixels;
    // Icons only: the colour image as 32-bit blue, green, red, alpha rows (bottom-up, width * 4
    // bytes each) with the mask applied to alpha, for drawing the icon. Null for bitmaps.
    std::uint8_t* icon_pixels;
};

// A zero-filled bottom-up bitmap; depths below 24 become 24, then 24 and 32 are accepted.
// 0 when the size is not 1 to 32767 each way, the depth is not supported, or memory runs out.
image_handle_t bitmap_create(std::int32_t width, std::int32_t height, std::int32_t depth);

// The same at exactly the depth given: 16 (5-5-5 pixels, for 16-bit BMP files kept as loaded),
// 24 or 32; nothing is raised.
image_handle_t bitmap_create_exact(std::int32_t width, std::int32_t height, std::int32_t depth);

// An icon handle owning a copy of the 32-bit colour rows given (width * 4 bytes per row,
// bottom-up). source_depth is the depth of the icon's own colour bitmap. 0 on failure.
image_handle_t icon_create(std::int32_t width, std::int32_t height, std::int32_t source_depth,
                           const std::uint8_t* bgra_rows);

// The live object behind a handle, or null. The object stays valid until the handle is deleted;
// one image is used by one thread at a time.
bitmap* bitmap_get(image_handle_t handle);

// OBJ_BITMAP, OBJ_ICON, or 0 for a handle that names nothing.
std::int32_t object_type(image_handle_t handle);

// Frees the object and retires the handle; unknown handles are ignored.
void bitmap_delete(image_handle_t handle);

} // namespace korvel
