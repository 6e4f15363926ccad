// Reading icons: the directory picks one image; a bitmap image is combined with its mask into
// blue, green, red, alpha rows, and any other image (PNG) is handed to the registered decoders.
#include "image/icon_reader.h"

#include "image/bmp_format.h"
#include "image/codec.h"
#include "image/dib_reader.h"
#include "image/pixel_budget.h"

#include <cstring>
#include <memory>
#include <new>

namespace korvel {
namespace {

constexpr std::int32_t compressed_icon_depth = 32;
// The longest image data an icon entry may have: colour rows within the pixel cap, a 1-bit mask
// (at most a sixteenth of them, padding included) and room for headers and a palette. An entry
// claiming more is refused before its data is read into memory.
constexpr std::uint64_t LARGEST_ICON_IMAGE =
    LARGEST_PIXEL_BYTES + LARGEST_PIXEL_BYTES / 16 + (std::uint64_t{1} << 20);

struct entry_choice {
    std::uint32_t offset;
    std::uint32_t length;
};

// The entry to load: among those whose size equals the first entry's, the first one with the
// highest bit count.
bool choose_entry(const byte_source& source, std::uint32_t count, entry_choice* choice) {
    std::uint8_t first[ICON_ENTRY_SIZE];
    if (!source_read(source, ICON_DIRECTORY_SIZE, first, sizeof first)) return false;
    std::uint16_t best_bits = read_u16le(first + ICON_ENTRY_BIT_COUNT);
    choice->length = read_u32le(first + ICON_ENTRY_LENGTH);
    choice->offset = read_u32le(first + ICON_ENTRY_OFFSET);
    for (std::uint32_t i = 1; i < count; ++i) {
        std::uint8_t entry[ICON_ENTRY_SIZE];
        if (!source_read(source, ICON_DIRECTORY_SIZE + i * ICON_ENTRY_SIZE, entry, sizeof entry)) {
            return false;
        }
        std::uint16_t bits = read_u16le(entry + ICON_ENTRY_BIT_COUNT);
        if (entry[0] != first[0] || entry[1] != first[1] || bits <= best_bits) continue;
        best_bits = bits;
        choice->length = read_u32le(entry + ICON_ENTRY_LENGTH);
        choice->offset = read_u32le(entry + ICON_ENTRY_OFFSET);
    }
    return true;
}

bool any_alpha(const std::uint8_t* bgra, std::size_t pixels) {
    for (std::size_t i = 0; i < pixels; ++i) {
        if (bgra[i * 4 + 3] != 0) return true;
    }
    return false;
}

// Alpha from the mask rows: a set bit is a transparent pixel.
bool apply_mask(const byte_source& image, const dib_info& info, std::uint64_t mask_offset,
                std::uint8_t* bgra) {
    std::int32_t mask_stride = row_bytes(info.width, 1);
    std::unique_ptr<std::uint8_t[]> mask(new (std::nothrow) std::uint8_t[mask_stride]);
    if (!mask) return false;
    for (std::int32_t row = 0; row < info.height; ++row) {
        std::uint64_t at = mask_offset + static_cast<std::uint64_t>(row) * mask_stride;
        if (!source_read(image, at, mask.get(), static_cast<std::size_t>(mask_stride))) {
            return false;
        }
        std::uint8_t* pixel = bgra + static_cast<std::size_t>(row) * info.width * 4;
        for (std::int32_t x = 0; x < info.width; ++x) {
            bool transparent = (mask[x / 8] >> (7 - x % 8)) & 1;
            pixel[x * 4 + 3] = transparent ? 0 : 0xFF;
        }
    }
    return true;
}

bool read_colour_rows(const byte_source& image, const dib_info& info, std::uint8_t* bgra) {
    std::unique_ptr<std::uint8_t[]> stored(new (std::nothrow) std::uint8_t[info.stride]);
    if (!stored) return false;
    for (std::int32_t row = 0; row < info.height; ++row) {
        std::uint8_t* dest = bgra + static_cast<std::size_t>(row) * info.width * 4;
        if (!dib_read_row(image, info, info.colours_end, row, stored.get()) ||
            !dib_row_to_bgra(info, stored.get(), dest)) {
            return false;
        }
    }
    return true;
}

// A bitmap image: colour rows, then a 1-bit mask of the same size; the header counts both in its
// height. 32-bit images carry their own alpha unless every alpha byte is 0.
image_handle_t icon_from_dib(const byte_source& image, std::int32_t* source_depth) {
    dib_info info;
    if (!dib_read_info(image, 0, &info) || info.top_down || info.rle || info.height < 2) return 0;
    info.height /= 2;
    std::uint64_t mask_offset =
        info.colours_end + static_cast<std::uint64_t>(info.stride) * info.height;
    std::uint64_t mask_size = static_cast<std::uint64_t>(row_bytes(info.width, 1)) * info.height;
    if (!dib_rows_present(image, info, info.colours_end) ||
        !source_holds(image, mask_offset, mask_size)) {
        return 0;
    }
    if (!pixel_memory_allowed(std::int64_t{info.width} * 4, info.height)) return 0;
    std::size_t pixels = static_cast<std::size_t>(info.width) * info.height;
    std::unique_ptr<std::uint8_t[]> bgra(new (std::nothrow) std::uint8_t[pixels * 4]);
    if (!bgra || !read_colour_rows(image, info, bgra.get())) return 0;
    bool own_alpha = info.bit_count == 32 && any_alpha(bgra.get(), pixels);
    if (!own_alpha && !apply_mask(image, info, mask_offset, bgra.get())) return 0;
    *source_depth = info.bit_count;
    return icon_create(info.width, info.height, info.bit_count, bgra.get());
}

// The decoded bitmap's rows as blue, green, red, alpha rows; 24-bit pixels become opaque.
void bitmap_to_bgra(const bitmap* colour, std::uint8_t* bgra) {
    std::int32_t bytes = colour->depth / 8;
    for (std::int32_t row = 0; row < colour->height; ++row) {
        const std::uint8_t* from = colour->pixels + static_cast<std::size_t>(row) * colour->stride;
        std::uint8_t* to = bgra + static_cast<std::size_t>(row) * colour->width * 4;
        for (std::int32_t x = 0; x < colour->width; ++x) {
            std::memcpy(to + x * 4, from + x * bytes, 3);
            to[x * 4 + 3] = bytes == 4 ? from[x * 4 + 3] : 0xFF;
        }
    }
}

// A compressed image, decoded by whichever registered decoder accepts it.
image_handle_t icon_from_decoder(const std::uint8_t* data, std::size_t length,
                                 std::int32_t* source_depth) {
    if (!decoder_probe_memory(data, length)) return 0;
    image_handle_t decoded = decode_to_bitmap();
    const bitmap* colour = bitmap_get(decoded);
    if (colour == nullptr) return 0;
    std::size_t pixels = static_cast<std::size_t>(colour->width) * colour->height;
    std::unique_ptr<std::uint8_t[]> bgra(new (std::nothrow) std::uint8_t[pixels * 4]);
    image_handle_t icon = 0;
    if (bgra) {
        bitmap_to_bgra(colour, bgra.get());
        icon = icon_create(colour->width, colour->height, compressed_icon_depth, bgra.get());
    }
    bitmap_delete(decoded);
    if (icon != 0) *source_depth = compressed_icon_depth;
    return icon;
}

} // namespace

image_handle_t icon_read(const byte_source& source, std::int32_t* source_depth) {
    std::uint8_t directory[ICON_DIRECTORY_SIZE];
    if (!source_read(source, 0, directory, sizeof directory)) return 0;
    std::uint16_t count = read_u16le(directory + 4);
    if (read_u16le(directory) != 0 || read_u16le(directory + 2) != ICON_TYPE || count == 0) {
        return 0;
    }
    entry_choice choice;
    if (!choose_entry(source, count, &choice) || choice.length > LARGEST_ICON_IMAGE ||
        !source_holds(source, choice.offset, choice.length)) {
        return 0;
    }
    // The chosen image is read whole: its length is backed by the data, and both kinds of image
    // are then parsed from memory.
    std::unique_ptr<std::uint8_t[]> data(new (std::nothrow) std::uint8_t[choice.length]);
    if (!data || !source_read(source, choice.offset, data.get(), choice.length)) return 0;
    image_handle_t icon = icon_from_dib(memory_source(data.get(), choice.length), source_depth);
    if (icon == 0) icon = icon_from_decoder(data.get(), choice.length, source_depth);
    return icon;
}

} // namespace korvel
