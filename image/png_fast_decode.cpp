// The fast path's reading of the image data: the IDAT chunks gathered within a budget, each CRC
// checked, their zlib stream inflated by libdeflate in one call into the filtered rows, and each
// row unfiltered and written out as bitmap pixels. It vouches only for files that libpng reads to
// the same pixels: a stream that ends exactly with the last IDAT chunk and holds exactly the rows,
// its checksum right. Anything else (short, long or damaged data, a window that libpng's zlib
// would refuse) is left to libpng, which then decides as it always has.
//
// The compressed data is staged in the bitmap's own pixel memory, since the rows written there are
// only made from the inflated copy: a load holds the bitmap and one filtered copy of it, never a
// third block for the file's bytes. Data that does not fit there (it would have to be larger than
// the rows, which only incompressible pictures come near) is left to libpng.
#include "image/byte_source.h"
#include "image/png_chunks.h"
#include "image/png_codec.h"
#include "image/png_readers.h"
#include "image/png_row_kernels.h"
#include "image/png_rows.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace korvel {
namespace {

constexpr std::uint32_t IDAT = png_chunk_type("IDAT");
constexpr std::uint8_t LAST_FILTER_TYPE = 4;
// zlib's largest window is 2^15 bytes; CINFO in the stream's first byte gives its size as 2^(8+n).
constexpr unsigned LARGEST_WINDOW_INFO = 7;
constexpr unsigned WINDOW_INFO_BASE = 8;
// libdeflate's decompressor, or libpng's row buffers and zlib's window, besides the rows.
constexpr std::int64_t READERS_OWN_BYTES = std::int64_t{64} << 10;

struct free_block {
    void operator()(void* block) const { std::free(block); }
};
using byte_block = std::unique_ptr<std::uint8_t, free_block>;

struct free_decompressor {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// How the file's samples become the bitmap's pixels.
struct sample_layout {
    std::int32_t bytes_per_pixel; // in the file
    std::int32_t pixel_bytes;     // in the bitmap
    png_convert_row convert;
};

sample_layout layout_of(std::uint8_t colour_type, const png_row_kernels& kernels) {
    switch (colour_type) {
    case 0:
        return {1, 3, kernels.grey_to_bgr};
    case 2:
        return {3, 3, kernels.rgb_to_bgr};
    case 3:
        return {1, 3, kernels.palette_to_bgr};
    case 4:
        return {2, 4, kernels.grey_alpha_to_bgra};
    default:
        return {4, 4, kernels.rgba_to_bgra};
    }
}

// The picture as the fast path reads it.
struct picture {
    std::int32_t width;
    std::int32_t height;
    sample_layout layout;
    std::size_t row_size;      // a filtered row: its filter type byte and its samples
    std::size_t filtered_size; // every row
};

// The IDAT chunks at the start of a region of the source: how many, and their data's total.
struct idat_survey {
    std::size_t chunks;
    std::size_t data_bytes;
    const std::uint8_t* first_data;
};

// Reads the IDAT chunks that follow one another from the region's start, each whole and its CRC
// right. They end at a chunk of another type, or where the source itself ends within a chunk
// header (libpng reads no further than the stream's last byte either). False when a chunk is cut
// short, by the source or by the region.
bool survey_idat(const std::uint8_t* region, std::size_t size, bool source_ends_with_region,
                 idat_survey* survey) {
    *survey = {0, 0, region + PNG_CHUNK_HEAD};
    for (std::size_t at = 0;;) {
        if (size - at < PNG_CHUNK_HEAD) return source_ends_with_region && survey->chunks > 0;
        const std::uint32_t length = png_be32(region + at);
        if (png_be32(region + at + 4) != IDAT) return survey->chunks > 0;
        if (length > PNG_LARGEST_CHUNK || size - at < PNG_CHUNK_FRAMING + std::size_t{length} ||
            !png_chunk_crc_matches(region + at, length))
            return false;
        ++survey->chunks;
        survey->data_bytes += length;
        at += PNG_CHUNK_FRAMING + length;
    }
}

// Moves the surveyed chunks' data to destination, one after the other; destination may be the
// region itself, as data only moves toward its start.
void gather_idat(const std::uint8_t* region, std::size_t chunks, std::uint8_t* destination) {
    for (std::size_t at = 0; chunks > 0; --chunks) {
        const std::uint32_t length = png_be32(region + at);
        std::memmove(destination, region + at + PNG_CHUNK_HEAD, length);
        destination += length;
        at += PNG_CHUNK_FRAMING + length;
    }
}

// What a file may hold as image data and framing for the fast path to read it: the rows stored,
// a quarter more for framing and deflate's overhead, and one row's read slack. That is never more
// than libpng's allowance for the rows, so every file read here is one libpng reads within its
// allowance too.
std::uint64_t data_budget(std::size_t filtered_size) {
    return filtered_size + filtered_size / 4 + ROW_READ_SLACK;
}

struct stream_bytes {
    const std::uint8_t* bytes;
    std::size_t size;
};

// The zlib stream of the IDAT chunks from state.idat_at on, in the source's memory or the pixel
// memory; {null, 0} when the fast path cannot take it.
stream_bytes gather_stream(const decode_context* context, const png_read_state& state,
                           const picture& p, std::uint8_t* pixels, std::size_t pixel_bytes) {
    const byte_source source = context->from_memory
                                   ? memory_source(context->memory, context->memory_length)
                                   : file_source(context->file);
    const std::uint64_t remaining = source.length - state.idat_at;
    std::uint64_t take = std::min(remaining, data_budget(p.filtered_size));
    const std::uint8_t* region = context->memory + state.idat_at;
    if (!context->from_memory) {
        take = std::min<std::uint64_t>(take, pixel_bytes);
        if (!source_read(source, state.idat_at, pixels, static_cast<std::size_t>(take))) return {};
        region = pixels;
    }
    idat_survey survey{};
    if (!survey_idat(region, static_cast<std::size_t>(take), take == remaining, &survey)) return {};
    if (survey.chunks == 1) return {survey.first_data, survey.data_bytes};
    // File data is gathered where it was staged, memory data into the pixels.
    if (survey.data_bytes > pixel_bytes) return {};
    gather_idat(region, survey.chunks, pixels);
    return {pixels, survey.data_bytes};
}

// libpng's zlib takes the window size that the stream declares and refuses matches reaching
// further back; libdeflate always allows the largest window. A smaller declared window is only
// taken when the rows are no larger, so that no match can reach past it.
bool window_agrees(const stream_bytes& stream, std::size_t filtered_size) {
    if (stream.size < 2) return false;
    const unsigned window_info = stream.bytes[0] >> 4;
    return window_info >= LARGEST_WINDOW_INFO ||
           filtered_size <= std::size_t{1} << (window_info + WINDOW_INFO_BASE);
}

// The whole stream, no more and no less, inflated to exactly the filtered rows.
bool inflate_rows(const stream_bytes& stream, const picture& p, std::uint8_t* rows) {
    const std::unique_ptr<libdeflate_decompressor, free_decompressor> decompressor(
        libdeflate_alloc_decompressor());
    if (decompressor == nullptr) return false;
    std::size_t used = 0;
    const libdeflate_result result = libdeflate_zlib_decompress_ex(
        decompressor.get(), stream.bytes, stream.size, rows, p.filtered_size, &used, nullptr);
    return result == LIBDEFLATE_SUCCESS && used == stream.size;
}

// The palette as 256 entries of blue, green, red and a zero; libpng gives entries beyond the
// file's zeros too.
bool read_palette(const decode_context* context, const png_read_state& state,
                  std::array<std::uint8_t, 1024>* palette) {
    std::uint8_t entries[3 * 256];
    const byte_source source = context->from_memory
                                   ? memory_source(context->memory, context->memory_length)
                                   : file_source(context->file);
    if (!source_read(source, state.palette_at, entries, 3u * state.palette_entries)) return false;
    for (std::size_t i = 0; i < state.palette_entries; ++i) {
        (*palette)[4 * i] = entries[3 * i + 2];
        (*palette)[4 * i + 1] = entries[3 * i + 1];
        (*palette)[4 * i + 2] = entries[3 * i];
    }
    return true;
}

// Unfilters each row in place, the row above it being the one before it (zeros before the
// first), and writes it out as pixels, the padding of each pixel row cleared. False at a filter
// type that does not exist.
bool write_rows(const picture& p, std::uint8_t* filtered, const std::uint8_t* palette,
                std::uint8_t* pixels, std::int32_t stride, std::uint32_t row_flags) {
    const png_row_kernels& kernels = png_row_kernels_chosen();
    const std::size_t sample_bytes = p.row_size - 1;
    const auto pixel_row_bytes = static_cast<std::size_t>(p.width) * p.layout.pixel_bytes;
    const std::uint8_t* prior = filtered + 1;
    for (std::int32_t y = 0; y < p.height; ++y) {
        std::uint8_t* row = filtered + (static_cast<std::size_t>(y) + 1) * p.row_size;
        const std::uint8_t type = row[0];
        if (type > LAST_FILTER_TYPE) return false;
        if (type != 0)
            kernels.unfilter[type - 1][p.layout.bytes_per_pixel - 1](row + 1, prior, sample_bytes);
        std::uint8_t* out = pixels + memory_row_offset(y, p.height, stride, row_flags);
        p.layout.convert(row + 1, p.width, palette, out);
        std::memset(out + pixel_row_bytes, 0, static_cast<std::size_t>(stride) - pixel_row_bytes);
        prior = row + 1;
    }
    return true;
}

picture picture_of(const decode_context* context, const png_read_state& state) {
    const sample_layout layout = layout_of(state.file_colour_type, png_row_kernels_chosen());
    const std::size_t row_size = 1 + static_cast<std::size_t>(context->width) *
                                         static_cast<std::size_t>(layout.bytes_per_pixel);
    return {context->width, context->height, layout, row_size,
            row_size * static_cast<std::size_t>(context->height)};
}

} // namespace

std::int64_t png_decode_workspace_bytes(std::int32_t width, std::int32_t height) {
    const std::int64_t row = 1 + std::int64_t{4} * width;
    return row * (std::int64_t{height} + 1) + static_cast<std::int64_t>(PNG_ROW_READ_SLACK) +
           READERS_OWN_BYTES;
}

bool png_fast_decode(decode_context* context, const png_read_state& state, std::uint8_t* pixels,
                     std::int32_t stride, std::uint32_t row_flags) {
    const picture p = picture_of(context, state);
    std::array<std::uint8_t, 1024> palette{};
    if (state.file_colour_type == 3 && !read_palette(context, state, &palette)) return false;
    // A row of zeros before the rows, the one above the first; slack after them for the kernels.
    const byte_block filtered(
        static_cast<std::uint8_t*>(std::malloc(p.row_size + p.filtered_size + PNG_ROW_READ_SLACK)));
    if (filtered == nullptr) return false;
    std::memset(filtered.get(), 0, p.row_size);
    std::memset(filtered.get() + p.row_size + p.filtered_size, 0, PNG_ROW_READ_SLACK);
    const stream_bytes stream =
        gather_stream(context, state, p, pixels, static_cast<std::size_t>(stride) * p.height);
    if (stream.bytes == nullptr || !window_agrees(stream, p.filtered_size) ||
        !inflate_rows(stream, p, filtered.get() + p.row_size))
        return false;
    return write_rows(p, filtered.get(), palette.data(), pixels, stride, row_flags);
}

} // namespace korvel
