// The codec registry: decoders and encoders registered at start-up, and the image operations
// that touch encoded data (load from a file, catch from memory, save through an encoder).
#pragma once

#include "image/bitmap.h"
#include "runtime/object_table.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace korvel {

// Row-order flag passed to every decode and encode: the first memory row is the picture's bottom.
inline constexpr std::uint32_t ROWS_BOTTOM_UP = 2;
// Save flag: error-diffusion dithering when the output is reduced to a palette (depth 1 to 8).
inline constexpr std::uint32_t SAVE_DITHER = 0x100;
// Save flags when the caller gives none.
inline constexpr std::uint32_t SAVE_DEFAULT_FLAGS = 7;
// Encoder identifier of the PNG encoder: the letters P, N, G packed little-endian.
inline constexpr std::uint32_t ENCODER_PNG = 0x474E50;
// Encoder identifier of the built-in BMP writer.
inline constexpr std::uint32_t ENCODER_BMP = 0;

// The calling thread's decoding state, cleared at the start of every probe.
struct decode_context {
    const struct decoder_entry* decoder; // the decoder that accepted the source
    const char* file_name;               // file sources: the path being loaded (native bytes)
    std::FILE* file;                     // file sources: the open stream
    const std::uint8_t* memory;          // memory sources: the data
    std::size_t memory_length;           // memory sources: its length
    std::int32_t from_memory;            // 1 for a memory source, 0 for a file
    std::int32_t width, height;          // set by the probe
    std::int32_t bitmap_depth;           // set by the probe: 24 or 32
    alignas(8) std::uint8_t decoder_fields[64]; // the decoder's own state
    std::int32_t source_depth;                  // set by the probe
};

struct decoder_entry {
    std::int32_t (*probe)(decode_context* context);
    std::int32_t (*decode)(decode_context* context, std::uint8_t* pixels, std::int32_t stride,
                           std::uint32_t row_flags);
    void (*close)(decode_context* context);
};

// Both encode operations take the pixels as they lie in memory and return non-zero on success.
using encode_operation = std::int32_t (*)(const char16_t* file_name, const std::uint8_t* pixels,
                                          std::int32_t width, std::int32_t height,
                                          std::int32_t stride, std::uint32_t row_flags,
                                          std::uint32_t flags, std::int32_t depth);

struct encoder_entry {
    std::uint32_t identifier;
    encode_operation encode_rgb;  // 24-bit pixel data (required)
    encode_operation encode_rgba; // 32-bit pixel data (may be null)
};

// Reserves the per-thread decode context (start-up, before the first registration); later calls
// do nothing.
void codecs_init();
// Appends the entry (a static record) to its list; each list has room for 30, further ones are
// ignored.
void decoder_register(const decoder_entry* entry);
void encoder_register(const encoder_entry* entry);

// The first registered encoder with that identifier, or null.
const encoder_entry* encoder_find(std::uint32_t identifier);

// The calling thread's decode context.
decode_context* decode_context_current();

// Loads a BMP, icon or registered-decoder file by its content, whatever its name.
// The handle (identifier for NUMBER_ANY), or 0 with the number left empty.
obj_number image_load(obj_number n, const char16_t* file_name);

// What image_load loads, as a bitmap that belongs to no image number (the caller owns it): the
// handle and the picture's depth in its source, or 0. Any thread may load at the same time.
image_handle_t bitmap_load(const char16_t* file_name, std::int32_t* source_depth);

// The same from image-file bytes held in memory; reads never pass data + length.
obj_number image_catch(obj_number n, const std::uint8_t* data, std::size_t length);

// Saves image n through the encoder (ENCODER_BMP or a registered identifier) at depth (-1: the
// image's source_depth). Non-zero on success.
std::int32_t image_save(obj_number n, const char16_t* file_name, std::uint32_t encoder,
                        std::uint32_t flags = SAVE_DEFAULT_FLAGS, std::int32_t depth = -1);

std::int32_t decoder_probe_file(const char16_t* file_name);
std::int32_t decoder_probe_memory(const std::uint8_t* data, std::size_t length);
image_handle_t decode_to_bitmap();
void decode_finish();

std::int32_t save_dispatch(const char16_t* file_name, const std::uint8_t* pixels,
                           std::uint32_t encoder, std::int32_t width, std::int32_t height,
                           std::int32_t stride, std::int32_t bits_per_pixel,
                           std::uint32_t row_flags, std::uint32_t flags, std::int32_t depth);

std::int32_t bmp_write(const char16_t* file_name, const std::uint8_t* pixels, std::int32_t stride,
                       std::int32_t width, std::int32_t height, std::int32_t bits_per_pixel,
                       std::uint32_t row_flags, std::uint32_t flags, std::int32_t depth);

} // namespace korvel
