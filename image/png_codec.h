// The PNG decoder and encoder, registered with the codec registry at start-up.
#pragma once

#include "image/bitmap.h"

#include <cstdint>

namespace korvel {

// Register once; later calls do nothing.
void png_decoder_register();
void png_encoder_register();

// The most memory that decoding a PNG picture of that size takes besides its bitmap, while it is
// decoded: a copy of its rows as the file filters them, and the readers' own tables.
std::int64_t png_decode_workspace_bytes(std::int32_t width, std::int32_t height);

// While on, PNG data loaded on the calling thread is read by libpng alone, never by the fast path,
// so that tests and benchmarks can hold the two to one another. Off by default.
void png_decode_through_libpng(bool on);

// The common writer: colour type 2 for 3-byte source pixels, 6 for 4-byte ones; depth 1 to 8
// takes the palette path. Non-zero on success.
std::int32_t png_encode(const char16_t* file_name, const std::uint8_t* pixels, std::int32_t width,
                        std::int32_t height, std::int32_t stride, std::uint32_t row_flags,
                        std::uint32_t flags, std::int32_t depth, std::int32_t colour_type);

// How each row is filtered before compression. The fixed choices hold the filter type byte they
// write; adaptive picks per row whichever of the five types gives the smallest sum of the filtered
// bytes' magnitudes, which usually compresses best.
enum class png_row_filter : std::uint8_t { none = 0, sub = 1, up = 2, paeth = 4, adaptive = 255 };

// How a frame is written. The defaults give the files png_encode writes.
struct png_frame_settings {
    // libdeflate's, 0 (stored) to 12; any other fails the write. The default is the fastest level
    // whose files are nowhere larger than zlib's level 9 made them, on plain frames and on frames
    // blurred as trails blur them (bench/png_level_bench): 10 to 12 save another 3 to 10% but take
    // 2 to 15 times as long, and writing at the default is most of a plain render's time.
    std::int32_t level = 8;
    png_row_filter filter = png_row_filter::none;
    bool rgb = false;             // colour type 2, each pixel first composited over background
    std::uint32_t background = 0; // 0xRRGGBB
};

// Writes a 32-bit bitmap as a PNG, by default an RGBA one as png_encode writes it, and frees the
// bitmap as soon as its rows are filtered: a frame being saved then never holds its pixels and the
// compressor's tables at once. The bitmap is freed whatever the outcome. Non-zero on success.
std::int32_t png_encode_releasing(image_handle_t canvas, const char16_t* file_name,
                                  const png_frame_settings& settings = {});

} // namespace korvel
