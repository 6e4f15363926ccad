// The palette quantizer: chooses 2^depth colours for a picture and hands out its rows as packed
// palette indices, with or without error diffusion.
#include "image/palette_quantizer.h"

#include "image/codec.h"
#include "image/exact_palette.h"
#include "image/gamma_curve.h"
#include "image/neuquant.h"
#include "image/palette_dither.h"
#include "image/palette_search.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

namespace korvel {

struct palette_quantizer {
    std::int32_t width;
    std::int32_t height;
    std::int32_t depth;
    bool dither;
    // 4-byte pixels: the image's own, or private copies when they are 24-bit or get dithered.
    const std::uint8_t* pixels;
    std::int32_t stride;
    std::vector<std::uint8_t> copies;
    std::array<std::uint8_t, 4 * 256> palette;
    palette_search search;
    std::vector<std::uint8_t> indices;
    std::vector<std::uint8_t> packed;
    dither_state diffusion;
    // The order in which rows are asked for, known from the first: the error goes to the row
    // that comes next, whichever way the writer walks through memory.
    std::int32_t rows_asked;
    bool walking_down;
};

namespace {

// Copies the pixels as 4-byte pixels in rows without padding; 24-bit pixels become opaque.
void copy_pixels(palette_quantizer& q, const std::uint8_t* pixels, std::int32_t bits_per_pixel,
                 std::int32_t stride) {
    const std::int32_t bytes_per_pixel = bits_per_pixel / 8;
    q.copies.resize(static_cast<std::size_t>(q.width) * 4 * q.height);
    std::uint8_t* out = q.copies.data();
    for (std::int32_t y = 0; y < q.height; ++y) {
        const std::uint8_t* in = pixels + static_cast<std::ptrdiff_t>(y) * stride;
        for (std::int32_t x = 0; x < q.width; ++x, in += bytes_per_pixel, out += 4) {
            std::memcpy(out, in, 3);
            out[3] = bytes_per_pixel == 4 ? in[3] : 255;
        }
    }
    q.pixels = q.copies.data();
    q.stride = q.width * 4;
}

void choose_palette(palette_quantizer& q) {
    const std::int32_t entries = 1 << q.depth;
    const std::int32_t found =
        exact_palette(q.pixels, q.width, q.height, q.stride, entries, q.palette.data());
    if (found == 0) {
        neuquant_learn(q.pixels, q.width, q.height, q.stride, q.depth, q.palette.data());
    } else {
        // Spare entries repeat the first, which wins every tie, so they are never chosen.
        for (std::int32_t i = found; i < entries; ++i) {
            std::memcpy(&q.palette[4 * i], &q.palette[0], 4);
        }
    }
    palette_search_start(q.search, q.palette.data(), entries);
}

std::uint8_t* row_of(palette_quantizer& q, std::int32_t memory_row) {
    return q.copies.data() + static_cast<std::ptrdiff_t>(memory_row) * q.stride;
}

void dither_memory_row(palette_quantizer& q, std::int32_t memory_row) {
    if (q.rows_asked == 0) q.walking_down = q.height > 1 && memory_row == q.height - 1;
    const std::int32_t next = memory_row + (q.walking_down ? -1 : 1);
    const std::int32_t target = next >= 0 && next < q.height ? next : memory_row;
    dither_row(q.diffusion, row_of(q, memory_row), row_of(q, target), q.width, q.search,
               q.palette.data(), q.indices.data());
}

void map_memory_row(palette_quantizer& q, std::int32_t memory_row) {
    const std::uint8_t* row = q.pixels + static_cast<std::ptrdiff_t>(memory_row) * q.stride;
    for (std::int32_t x = 0; x < q.width; ++x)
        q.indices[x] = palette_nearest(q.search, row + 4 * x);
}

// Indices packed most significant bits first at 1, 2 and 4 bits; one byte each otherwise.
const std::uint8_t* pack_indices(palette_quantizer& q) {
    if (q.depth >= 8 || 8 % q.depth != 0) return q.indices.data();
    const std::int32_t per_byte = 8 / q.depth;
    std::fill(q.packed.begin(), q.packed.end(), 0);
    for (std::int32_t x = 0; x < q.width; ++x) {
        const std::int32_t shift = 8 - q.depth * (x % per_byte + 1);
        q.packed[x / per_byte] |= static_cast<std::uint8_t>(q.indices[x] << shift);
    }
    return q.packed.data();
}

bool arguments_usable(const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                      std::int32_t bits_per_pixel, std::int32_t stride, std::int32_t depth) {
    return pixels != nullptr && width > 0 && height > 0 && depth >= 1 && depth <= 8 &&
           (bits_per_pixel == 24 || bits_per_pixel == 32) && stride >= width * (bits_per_pixel / 8);
}

} // namespace

palette_quantizer* quantizer_create(const std::uint8_t* pixels, std::int32_t width,
                                    std::int32_t height, std::int32_t bits_per_pixel,
                                    std::int32_t stride, std::int32_t depth, std::uint32_t flags) {
    if (!arguments_usable(pixels, width, height, bits_per_pixel, stride, depth)) return nullptr;
    try {
        auto q = std::make_unique<palette_quantizer>();
        q->width = width;
        q->height = height;
        q->depth = depth;
        q->dither = (flags & SAVE_DITHER) != 0;
        q->pixels = pixels;
        q->stride = stride;
        if (bits_per_pixel == 24 || q->dither) copy_pixels(*q, pixels, bits_per_pixel, stride);
        q->indices.resize(static_cast<std::size_t>(width));
        q->packed.resize((static_cast<std::size_t>(width) * depth + 7) / 8);
        choose_palette(*q);
        return q.release();
    } catch (const std::bad_alloc&) {
        return nullptr;
    } catch (const std::length_error&) {
        return nullptr;
    }
}

const std::uint8_t* quantizer_palette(const palette_quantizer* quantizer) {
    return quantizer->palette.data();
}

std::int32_t quantizer_gamma_times_100000(const palette_quantizer*) {
    return QUANTIZER_GAMMA_TIMES_100000;
}

const std::uint8_t* quantizer_row(palette_quantizer* quantizer, std::int32_t memory_row) {
    if (memory_row < 0 || memory_row >= quantizer->height) return nullptr;
    if (quantizer->dither) {
        dither_memory_row(*quantizer, memory_row);
    } else {
        map_memory_row(*quantizer, memory_row);
    }
    ++quantizer->rows_asked;
    return pack_indices(*quantizer);
}

void quantizer_free(palette_quantizer* quantizer) {
    delete quantizer;
}

} // namespace korvel
