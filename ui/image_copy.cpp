// The pixels behind an image handle as a QImage for drawing in widgets.
#include "ui/image_copy.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace korvel {
namespace {

static_assert(std::endian::native == std::endian::little,
              "32-bit pixels are copied as Format_ARGB32 words");

// Blue, green, red, alpha bytes are exactly Format_ARGB32's words on a little-endian machine.
QImage premultiplied_copy(const std::uint8_t* rows, int width, int height, int stride) {
    QImage copy(width, height, QImage::Format_ARGB32_Premultiplied);
    if (copy.isNull()) return copy;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* source = rows + static_cast<std::ptrdiff_t>(height - 1 - y) * stride;
        std::uint8_t* target = copy.scanLine(y);
        std::memcpy(target, source, static_cast<std::size_t>(width) * 4);
        for (int x = 0; x < width; ++x) {
            std::uint8_t* pixel = target + x * 4;
            const unsigned alpha = pixel[3];
            if (alpha == 255) continue;
            for (int channel = 0; channel < 3; ++channel)
                pixel[channel] = static_cast<std::uint8_t>((pixel[channel] * alpha) >> 8);
        }
    }
    return copy;
}

// Rows without alpha are handed to QImage as they lie and turned upright.
QImage opaque_copy(const std::uint8_t* rows, int width, int height, int stride,
                   QImage::Format format) {
    const QImage bottom_up(rows, width, height, stride, format);
    return bottom_up.mirrored(false, true).convertToFormat(QImage::Format_RGB32);
}

} // namespace

QImage image_copy(image_handle_t handle) {
    const bitmap* source = handle ? bitmap_get(handle) : nullptr;
    if (!source || source->width <= 0 || source->height <= 0) return {};
    if (source->icon_pixels)
        return premultiplied_copy(source->icon_pixels, source->width, source->height,
                                  source->width * 4);
    if (!source->pixels) return {};
    switch (source->depth) {
    case 32:
        return premultiplied_copy(source->pixels, source->width, source->height, source->stride);
    case 24:
        return opaque_copy(source->pixels, source->width, source->height, source->stride,
                           QImage::Format_BGR888);
    case 16:
        return opaque_copy(source->pixels, source->width, source->height, source->stride,
                           QImage::Format_RGB555);
    default:
        return {};
    }
}

} // namespace korvel
