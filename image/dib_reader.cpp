// Parsing of stored bitmap data: every size, offset and index is checked against the data before
// it is used, so damaged or lying headers fail instead of reading past the end.
#include "image/dib_reader.h"

#include "image/bitmap.h"
#include "image/bmp_format.h"

#include <bit>
#include <cstring>

namespace korvel {
namespace {

constexpr std::int32_t max_side = 32767;

bool supported_bit_count(std::int32_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Widths and heights up to 32767; an icon image's header counts its mask rows too, so positive
// heights may be twice that.
bool size_in_range(std::int32_t width, std::int32_t height) {
    return width >= 1 && width <= max_side && height != 0 && height >= -max_side &&
           height <= 2 * max_side;
}

bool supported_header_size(std::uint32_t size) {
    return size == BMP_INFO_SIZE || size == BMP_INFO_RGB_MASKS_SIZE ||
           size == BMP_INFO_RGBA_MASKS_SIZE || size == BMP_INFO_V4_SIZE || size == BMP_INFO_V5_SIZE;
}

void set_default_masks(dib_info* info) {
    if (info->bit_count == 16) {
        info->masks[0] = 0x7C00, info->masks[1] = 0x03E0, info->masks[2] = 0x001F;
        info->masks[3] = 0;
    } else {
        // Uncompressed 32-bit rows keep their fourth byte, which callers may take as alpha.
        info->masks[0] = 0x00FF0000, info->masks[1] = 0x0000FF00, info->masks[2] = 0x000000FF;
        info->masks[3] = 0xFF000000;
    }
}

// Colour masks must be runs of set bits within the pixel, and no two may share a bit.
bool masks_usable(const dib_info& info) {
    std::uint32_t seen = 0;
    std::uint32_t pixel_bits = info.bit_count == 32 ? 0xFFFFFFFF : 0xFFFF;
    for (int i = 0; i < 4; ++i) {
        std::uint32_t mask = info.masks[i];
        if (mask == 0) {
            if (i < 3) return false;
            continue;
        }
        std::uint32_t run = mask >> std::countr_zero(mask);
        if ((run & (run + 1)) != 0 || (mask & ~pixel_bits) != 0 || (mask & seen) != 0) {
            return false;
        }
        seen |= mask;
    }
    return true;
}

// Reads the bit-field masks: inside the larger headers, or just after the plain one.
bool read_masks(const byte_source& source, std::uint64_t offset, std::uint32_t header_size,
                dib_info* info) {
    bool three = header_size == BMP_INFO_SIZE || header_size == BMP_INFO_RGB_MASKS_SIZE;
    std::uint8_t raw[16] = {};
    if (!source_read(source, offset + BMP_INFO_MASKS, raw, three ? 12 : 16)) return false;
    for (int i = 0; i < 4; ++i) {
        info->masks[i] = read_u32le(raw + 4 * i);
    }
    if (header_size == BMP_INFO_SIZE) info->colours_end += 12;
    return masks_usable(*info);
}

// The palette of 1- to 8-bit data: as many entries as the header says, or all that the depth can
// name. Deeper data may carry an unused colour table, which only moves where the rows start.
bool read_palette(const byte_source& source, std::uint32_t colours_used, std::uint32_t entry_size,
                  dib_info* info) {
    std::uint64_t at = info->colours_end;
    info->colours_end += std::uint64_t{colours_used} * entry_size;
    if (info->bit_count > 8) return true;
    std::uint32_t addressable = 1u << info->bit_count;
    std::uint32_t count = colours_used == 0 ? addressable : colours_used;
    if (count > addressable) return false;
    info->palette_count = static_cast<std::int32_t>(count);
    info->colours_end = at + std::uint64_t{count} * entry_size;
    std::uint8_t entries[256 * 4];
    if (!source_read(source, at, entries, count * entry_size)) return false;
    for (std::uint32_t i = 0; i < count; ++i)
        std::memcpy(info->palette + 4 * i, entries + entry_size * i, 3);
    return true;
}

// What every header gives alike; false for sizes and depths this system does not read.
bool start_info(std::uint64_t offset, std::uint32_t header_size, std::int32_t width,
                std::int32_t height, std::int32_t bits, dib_info* info) {
    if (!supported_bit_count(bits) || !size_in_range(width, height)) return false;
    *info = dib_info{};
    info->header_size = header_size;
    info->width = width;
    info->height = height < 0 ? -height : height;
    info->top_down = height < 0;
    info->bit_count = bits;
    info->stride = row_bytes(width, bits);
    info->colours_end = offset + header_size;
    return true;
}

// The core header's sizes are unsigned 16-bit values, and its palette entries 3 bytes each.
bool read_core_info(const byte_source& source, std::uint64_t offset, dib_info* info) {
    std::uint8_t header[BMP_CORE_SIZE];
    if (!source_read(source, offset, header, sizeof header)) return false;
    std::int32_t bits = read_u16le(header + BMP_CORE_BIT_COUNT);
    return bits != 16 && bits != 32 &&
           start_info(offset, BMP_CORE_SIZE, read_u16le(header + BMP_CORE_WIDTH),
                      read_u16le(header + BMP_CORE_HEIGHT), bits, info) &&
           read_palette(source, 0, 3, info);
}

// Run-length encoding exists for 4- and 8-bit rows, stored bottom-up only.
std::int32_t rle_bits(std::uint32_t compression, std::int32_t bits, std::int32_t height) {
    bool rle = (compression == BI_RLE4 && bits == 4) || (compression == BI_RLE8 && bits == 8);
    return rle && height > 0 ? bits : 0;
}

// The value of the channel under mask, widened or narrowed to 8 bits by repeating its bits.
std::uint8_t channel(std::uint32_t pixel, std::uint32_t mask) {
    if (mask == 0) return 0xFF;
    std::uint32_t value = (pixel & mask) >> std::countr_zero(mask);
    int bits = std::popcount(mask);
    if (bits >= 8) return static_cast<std::uint8_t>(value >> (bits - 8));
    std::uint32_t repeated = 0;
    int filled = 0;
    while (filled < 8) {
        repeated = (repeated << bits) | value;
        filled += bits;
    }
    return static_cast<std::uint8_t>(repeated >> (filled - 8));
}

bool palette_row(const dib_info& info, const std::uint8_t* stored, std::uint8_t* bgra) {
    int bits = info.bit_count;
    int per_byte = 8 / bits;
    std::uint32_t index_mask = (1u << bits) - 1;
    for (std::int32_t x = 0; x < info.width; ++x) {
        int shift = 8 - bits * (x % per_byte + 1);
        std::int32_t index =
            static_cast<std::int32_t>((stored[x / per_byte] >> shift) & index_mask);
        if (index >= info.palette_count) return false;
        const std::uint8_t* entry = info.palette + index * 4;
        bgra[x * 4] = entry[0], bgra[x * 4 + 1] = entry[1], bgra[x * 4 + 2] = entry[2];
        bgra[x * 4 + 3] = 0xFF;
    }
    return true;
}

void masked_row(const dib_info& info, const std::uint8_t* stored, std::uint8_t* bgra) {
    int bytes = info.bit_count / 8;
    for (std::int32_t x = 0; x < info.width; ++x) {
        const std::uint8_t* p = stored + x * bytes;
        std::uint32_t pixel = bytes == 2 ? read_u16le(p) : read_u32le(p);
        bgra[x * 4] = channel(pixel, info.masks[2]);
        bgra[x * 4 + 1] = channel(pixel, info.masks[1]);
        bgra[x * 4 + 2] = channel(pixel, info.masks[0]);
        bgra[x * 4 + 3] = channel(pixel, info.masks[3]);
    }
}

void bgr_row(const dib_info& info, const std::uint8_t* stored, std::uint8_t* bgra) {
    for (std::int32_t x = 0; x < info.width; ++x) {
        bgra[x * 4] = stored[x * 3], bgra[x * 4 + 1] = stored[x * 3 + 1];
        bgra[x * 4 + 2] = stored[x * 3 + 2], bgra[x * 4 + 3] = 0xFF;
    }
}

} // namespace

bool dib_read_info(const byte_source& source, std::uint64_t offset, dib_info* info) {
    std::uint8_t header[BMP_INFO_SIZE];
    if (!source_read(source, offset, header, 4)) return false;
    std::uint32_t header_size = read_u32le(header);
    if (header_size == BMP_CORE_SIZE) return read_core_info(source, offset, info);
    if (!supported_header_size(header_size) || !source_read(source, offset, header, sizeof header))
        return false;
    std::int32_t height = read_i32le(header + BMP_INFO_HEIGHT);
    std::int32_t bits = read_u16le(header + BMP_INFO_BIT_COUNT);
    std::uint32_t compression = read_u32le(header + BMP_INFO_COMPRESSION);
    bool bit_fields = compression == BI_BITFIELDS && (bits == 16 || bits == 32);
    std::int32_t rle = rle_bits(compression, bits, height);
    if ((compression != BI_RGB && !bit_fields && rle == 0) ||
        !start_info(offset, header_size, read_i32le(header + BMP_INFO_WIDTH), height, bits, info))
        return false;
    info->rle = rle;
    if (!source_holds(source, offset, header_size)) return false;
    if (bits == 16 || bits == 32) {
        set_default_masks(info);
        if (bit_fields && !read_masks(source, offset, header_size, info)) return false;
        info->plain_555 = bits == 16 && info->masks[0] == 0x7C00 && info->masks[1] == 0x03E0 &&
                          info->masks[2] == 0x001F;
    }
    return read_palette(source, read_u32le(header + BMP_INFO_COLOURS_USED), 4, info);
}

bool dib_rows_present(const byte_source& source, const dib_info& info, std::uint64_t pixel_offset) {
    std::uint64_t size = static_cast<std::uint64_t>(info.stride) * info.height;
    return source_holds(source, pixel_offset, size);
}

bool dib_read_row(const byte_source& source, const dib_info& info, std::uint64_t pixel_offset,
                  std::int32_t memory_row, std::uint8_t* stored) {
    std::int32_t stored_row = info.top_down ? info.height - 1 - memory_row : memory_row;
    std::uint64_t at = pixel_offset + static_cast<std::uint64_t>(stored_row) * info.stride;
    return source_read(source, at, stored, static_cast<std::size_t>(info.stride));
}

bool dib_row_to_bgra(const dib_info& info, const std::uint8_t* stored, std::uint8_t* bgra) {
    if (info.bit_count <= 8) return palette_row(info, stored, bgra);
    if (info.bit_count == 24) {
        bgr_row(info, stored, bgra);
    } else {
        masked_row(info, stored, bgra);
    }
    return true;
}

} // namespace korvel
