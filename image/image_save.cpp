// Saving images: image_save checks the image and hands its pixels to save_dispatch, which picks
// the built-in BMP writer or a registered encoder and flattens 32-bit pixels for encoders that
// take 24-bit rows only.
#include "image/codec.h"
#include "image/image.h"
#include "image/over_white.h"

#include <cstdlib>

namespace korvel {
namespace {

std::int32_t encode_over_white(const encoder_entry* encoder, const char16_t* file_name,
                               const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                               std::int32_t stride, std::uint32_t row_flags, std::uint32_t flags,
                               std::int32_t depth) {
    std::int32_t flat_stride = row_bytes(width, 24);
    auto* flat = static_cast<std::uint8_t*>(
        std::calloc(static_cast<std::size_t>(height), static_cast<std::size_t>(flat_stride)));
    if (flat == nullptr) return 0;
    for (std::int32_t row = 0; row < height; ++row) {
        row_over_white(pixels + static_cast<std::ptrdiff_t>(row) * stride, width,
                       flat + static_cast<std::size_t>(row) * flat_stride);
    }
    std::int32_t result =
        encoder->encode_rgb(file_name, flat, width, height, flat_stride, row_flags, flags, depth);
    std::free(flat);
    return result;
}

} // namespace

std::int32_t save_dispatch(const char16_t* file_name, const std::uint8_t* pixels,
                           std::uint32_t encoder, std::int32_t width, std::int32_t height,
                           std::int32_t stride, std::int32_t bits_per_pixel,
                           std::uint32_t row_flags, std::uint32_t flags, std::int32_t depth) {
    if (encoder == ENCODER_BMP) {
        return bmp_write(file_name, pixels, stride, width, height, bits_per_pixel, row_flags, flags,
                         depth);
    }
    const encoder_entry* entry = encoder_find(encoder);
    if (entry == nullptr || entry->encode_rgb == nullptr) return 0;
    if (bits_per_pixel == 32) {
        if (entry->encode_rgba != nullptr) {
            return entry->encode_rgba(file_name, pixels, width, height, stride, row_flags, flags,
                                      depth);
        }
        return encode_over_white(entry, file_name, pixels, width, height, stride, row_flags, flags,
                                 depth);
    }
    if (bits_per_pixel == 24) {
        return entry->encode_rgb(file_name, pixels, width, height, stride, row_flags, flags, depth);
    }
    return 0;
}

std::int32_t image_save(obj_number n, const char16_t* file_name, std::uint32_t encoder,
                        std::uint32_t flags, std::int32_t depth) {
    if (file_name == nullptr || file_name[0] == 0) return 0;
    const image_record* record = image_lookup(n);
    if (record == nullptr) return 0;
    const bitmap* object = bitmap_get(record->handle);
    // Icons have no pixel memory of their own to write.
    if (object == nullptr || object->type != OBJ_BITMAP || object->pixels == nullptr) return 0;
    if (depth == -1) depth = record->source_depth;
    return save_dispatch(file_name, object->pixels, encoder, record->width, record->height,
                         object->stride, record->depth, ROWS_BOTTOM_UP, flags, depth);
}

} // namespace korvel
