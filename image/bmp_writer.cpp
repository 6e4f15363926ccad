// The built-in BMP writer (encoder identifier 0): uncompressed files at 1, 4 and 8 bits through
// the palette quantizer, or at 24 and 32 bits, rows bottom first.
#include "image/bmp_format.h"
#include "image/codec.h"
#include "image/over_white.h"
#include "image/palette_quantizer.h"
#include "runtime/file_share.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <unistd.h>

namespace korvel {
namespace {

constexpr std::int32_t max_side = 32767;
constexpr std::uint32_t headers_size = BMP_FILE_HEADER_SIZE + BMP_INFO_SIZE;

bool write_all(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool write_headers(int fd, std::int32_t width, std::int32_t height, std::int32_t depth) {
    std::uint32_t palette_size = depth <= 8 ? (1u << depth) * 4 : 0;
    std::uint32_t image_size =
        static_cast<std::uint32_t>(row_bytes(width, depth)) * static_cast<std::uint32_t>(height);
    std::uint8_t h[headers_size] = {};
    h[0] = 'B', h[1] = 'M';
    put_u32le(h + 2, headers_size + palette_size + image_size);
    put_u32le(h + BMP_FILE_DATA_OFFSET, headers_size + palette_size);
    std::uint8_t* info = h + BMP_FILE_HEADER_SIZE;
    put_u32le(info, BMP_INFO_SIZE);
    put_u32le(info + BMP_INFO_WIDTH, static_cast<std::uint32_t>(width));
    put_u32le(info + BMP_INFO_HEIGHT, static_cast<std::uint32_t>(height));
    put_u16le(info + BMP_INFO_PLANES, 1);
    put_u16le(info + BMP_INFO_BIT_COUNT, static_cast<std::uint16_t>(depth));
    put_u32le(info + BMP_INFO_COMPRESSION, BI_RGB);
    put_u32le(info + BMP_INFO_IMAGE_SIZE, image_size);
    return write_all(fd, h, sizeof h);
}

struct pixel_rows {
    const std::uint8_t* pixels;
    std::int32_t stride;
    std::int32_t width;
    std::int32_t height;
    std::int32_t bits_per_pixel;
    bool bottom_up;

    // The memory row that holds the picture row output_row counts from the bottom.
    std::int32_t memory_row(std::int32_t output_row) const {
        return bottom_up ? output_row : height - 1 - output_row;
    }
    const std::uint8_t* row(std::int32_t memory_row) const {
        return pixels + static_cast<std::ptrdiff_t>(memory_row) * stride;
    }
};

bool write_palette_file(int fd, const pixel_rows& source, std::int32_t depth, std::uint32_t flags) {
    palette_quantizer* quantizer =
        quantizer_create(source.pixels, source.width, source.height, source.bits_per_pixel,
                         source.stride, depth, flags);
    if (quantizer == nullptr) return false;
    std::int32_t entries = 1 << depth;
    std::uint8_t palette[256 * 4] = {};
    std::memcpy(palette, quantizer_palette(quantizer), static_cast<std::size_t>(entries) * 4);
    for (std::int32_t i = 0; i < entries; ++i)
        palette[i * 4 + 3] = 0;

    std::int32_t size = row_bytes(source.width, depth);
    std::size_t packed = (static_cast<std::size_t>(source.width) * depth + 7) / 8;
    std::unique_ptr<std::uint8_t[]> row(new (std::nothrow) std::uint8_t[size]());
    bool ok = row && write_headers(fd, source.width, source.height, depth) &&
              write_all(fd, palette, static_cast<std::size_t>(entries) * 4);
    for (std::int32_t i = 0; ok && i < source.height; ++i) {
        const std::uint8_t* indices = quantizer_row(quantizer, source.memory_row(i));
        ok = indices != nullptr;
        if (ok) std::memcpy(row.get(), indices, packed);
        ok = ok && write_all(fd, row.get(), static_cast<std::size_t>(size));
    }
    quantizer_free(quantizer);
    return ok;
}

// One output row at depth 24 or 32 from a memory row; rows of the output depth are copied as
// they are, alpha included, so the file does not depend on the memory's row order or stride.
void convert_row(const std::uint8_t* from, std::int32_t width, std::int32_t bits_per_pixel,
                 std::int32_t depth, std::uint8_t* to) {
    if (bits_per_pixel == depth) {
        std::memcpy(to, from, static_cast<std::size_t>(width) * (depth / 8));
    } else if (bits_per_pixel == 32) {
        row_over_white(from, width, to);
    } else {
        for (std::int32_t x = 0; x < width; ++x) {
            std::memcpy(to + x * 4, from + x * 3, 3);
            to[x * 4 + 3] = 0;
        }
    }
}

bool write_true_colour_file(int fd, const pixel_rows& source, std::int32_t depth) {
    std::int32_t size = row_bytes(source.width, depth);
    if (!write_headers(fd, source.width, source.height, depth)) return false;
    if (source.bits_per_pixel == depth && source.bottom_up && source.stride == size) {
        return write_all(fd, source.pixels, static_cast<std::size_t>(size) * source.height);
    }
    std::unique_ptr<std::uint8_t[]> row(new (std::nothrow) std::uint8_t[size]());
    if (!row) return false;
    for (std::int32_t i = 0; i < source.height; ++i) {
        convert_row(source.row(source.memory_row(i)), source.width, source.bits_per_pixel, depth,
                    row.get());
        if (!write_all(fd, row.get(), static_cast<std::size_t>(size))) return false;
    }
    return true;
}

bool acceptable(const std::uint8_t* pixels, std::int32_t stride, std::int32_t width,
                std::int32_t height, std::int32_t bits_per_pixel, std::int32_t depth) {
    if (pixels == nullptr || width < 1 || width > max_side || height < 1 || height > max_side) {
        return false;
    }
    if (bits_per_pixel != 24 && bits_per_pixel != 32) return false;
    if (stride < width * (bits_per_pixel / 8)) return false;
    return depth == 1 || depth == 4 || depth == 8 || depth == 24 || depth == 32;
}

} // namespace

std::int32_t bmp_write(const char16_t* file_name, const std::uint8_t* pixels, std::int32_t stride,
                       std::int32_t width, std::int32_t height, std::int32_t bits_per_pixel,
                       std::uint32_t row_flags, std::uint32_t flags, std::int32_t depth) {
    if (file_name == nullptr || file_name[0] == 0) return 0;
    if (!acceptable(pixels, stride, width, height, bits_per_pixel, depth)) return 0;
    int fd = shared_open(file_name, ACCESS_READ | ACCESS_WRITE, SHARE_READ,
                         open_disposition::create_always);
    if (fd < 0) return 0;
    pixel_rows source{pixels, stride,         width,
                      height, bits_per_pixel, (row_flags & ROWS_BOTTOM_UP) != 0};
    bool ok = depth <= 8 ? write_palette_file(fd, source, depth, flags)
                         : write_true_colour_file(fd, source, depth);
    shared_close(fd);
    return ok ? 1 : 0;
}

} // namespace korvel
