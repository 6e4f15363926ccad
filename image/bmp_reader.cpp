// Reading BMP data into bitmaps. The whole pixel area of uncompressed data is checked against the
// data before the bitmap is made, so a lying header cannot cause an allocation that the data does
// not back; run-length encoded data, which may set a whole picture in a few codes, is held to the
// pixel budget alone and is refused when its codes run out before the picture ends.
#include "image/bmp_reader.h"

#include "image/bmp_format.h"
#include "image/dib_reader.h"
#include "image/dib_rle.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace korvel {
namespace {

std::int32_t kept_depth(std::int32_t bits, bmp_keep keep) {
    if (keep == bmp_keep::as_memory) return bits < 24 ? 24 : bits;
    return bits == 16 ? 16 : 24;
}

void store_555(const std::uint8_t* bgra, std::int32_t width, std::uint8_t* dest) {
    for (std::int32_t x = 0; x < width; ++x) {
        const std::uint8_t* p = bgra + x * 4;
        auto pixel =
            static_cast<std::uint16_t>(((p[2] >> 3) << 10) | ((p[1] >> 3) << 5) | (p[0] >> 3));
        put_u16le(dest + x * 2, pixel);
    }
}

void store_bgr(const std::uint8_t* bgra, std::int32_t width, std::uint8_t* dest) {
    for (std::int32_t x = 0; x < width; ++x) {
        std::memcpy(dest + x * 3, bgra + x * 4, 3);
    }
}

// Writes one converted row into the bitmap's memory row at the bitmap's depth.
bool store_row(const dib_info& info, const std::uint8_t* stored, std::uint8_t* bgra, bitmap* target,
               std::uint8_t* dest) {
    if (target->depth == 16 && info.plain_555) {
        std::memcpy(dest, stored, static_cast<std::size_t>(info.width) * 2);
        return true;
    }
    if (!dib_row_to_bgra(info, stored, bgra)) return false;
    if (target->depth == 16) {
        store_555(bgra, info.width, dest);
    } else if (target->depth == 24) {
        store_bgr(bgra, info.width, dest);
    } else {
        std::memcpy(dest, bgra, static_cast<std::size_t>(info.width) * 4);
    }
    return true;
}

std::uint8_t* memory_row(bitmap* target, std::int32_t row) {
    return target->pixels + static_cast<std::size_t>(row) * target->stride;
}

bool fill_stored_rows(const byte_source& source, const dib_info& info, std::uint64_t pixel_offset,
                      bitmap* target, std::uint8_t* stored, std::uint8_t* bgra) {
    for (std::int32_t row = 0; row < info.height; ++row) {
        if (!dib_read_row(source, info, pixel_offset, row, stored) ||
            !store_row(info, stored, bgra, target, memory_row(target, row))) {
            return false;
        }
    }
    return true;
}

// Run-length encoded rows come as one byte per pixel. A few codes may leave most of a large
// picture unset: rows that no code sets, all of index 0, are converted once and then copied, or
// left as the bitmap starts when that colour is zero bytes.
bool fill_coded_rows(const byte_source& source, const dib_info& info, std::uint64_t pixel_offset,
                     bitmap* target, std::uint8_t* indices, std::uint8_t* bgra) {
    dib_info handed = info;
    handed.bit_count = 8;
    rle_rows rle;
    rle_start(source, info, pixel_offset, &rle);
    const std::uint8_t* unset = nullptr; // the first row that no code set
    bool unset_zero = false;
    const auto size = static_cast<std::size_t>(target->stride);
    for (std::int32_t row = 0; row < info.height; ++row) {
        std::uint8_t* dest = memory_row(target, row);
        if (!rle_next_row(&rle, indices)) return false;
        if (!rle.row_set && unset) {
            if (!unset_zero) std::memcpy(dest, unset, size);
        } else if (!store_row(handed, indices, bgra, target, dest)) {
            return false;
        } else if (!rle.row_set) {
            unset = dest;
            unset_zero =
                std::all_of(dest, dest + size, [](std::uint8_t byte) { return byte == 0; });
        }
    }
    return true;
}

bool fill_rows(const byte_source& source, const dib_info& info, std::uint64_t pixel_offset,
               bitmap* target) {
    std::unique_ptr<std::uint8_t[]> stored(new (std::nothrow)
                                               std::uint8_t[std::max(info.stride, info.width)]);
    std::unique_ptr<std::uint8_t[]> bgra(new (std::nothrow) std::uint8_t[info.width * 4]);
    if (!stored || !bgra) return false;
    return info.rle
               ? fill_coded_rows(source, info, pixel_offset, target, stored.get(), bgra.get())
               : fill_stored_rows(source, info, pixel_offset, target, stored.get(), bgra.get());
}

// 32-bit data that never sets an alpha byte was written without alpha: show it opaque.
void make_opaque_if_no_alpha(bitmap* target) {
    std::size_t size = static_cast<std::size_t>(target->stride) * target->height;
    for (std::size_t at = 3; at < size; at += 4) {
        if (target->pixels[at] != 0) return;
    }
    for (std::size_t at = 3; at < size; at += 4)
        target->pixels[at] = 0xFF;
}

} // namespace

image_handle_t bmp_read(const byte_source& source, bmp_keep keep, std::int32_t* source_depth) {
    std::uint8_t file_header[BMP_FILE_HEADER_SIZE];
    if (!source_read(source, 0, file_header, sizeof file_header)) return 0;
    if (file_header[0] != 'B' || file_header[1] != 'M') return 0;
    dib_info info;
    if (!dib_read_info(source, BMP_FILE_HEADER_SIZE, &info)) return 0;
    std::uint64_t pixel_offset = read_u32le(file_header + BMP_FILE_DATA_OFFSET);
    if (pixel_offset < BMP_FILE_HEADER_SIZE + info.header_size) return 0;
    if (info.rle == 0 && !dib_rows_present(source, info, pixel_offset)) return 0;

    image_handle_t handle =
        bitmap_create_exact(info.width, info.height, kept_depth(info.bit_count, keep));
    bitmap* target = bitmap_get(handle);
    if (target == nullptr) return 0;
    if (!fill_rows(source, info, pixel_offset, target)) {
        bitmap_delete(handle);
        return 0;
    }
    if (target->depth == 32) make_opaque_if_no_alpha(target);
    *source_depth = info.bit_count;
    return handle;
}

} // namespace korvel
