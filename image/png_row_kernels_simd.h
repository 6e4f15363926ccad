// The PNG row kernels, written once and compiled once per instruction set: each including file
// chooses its target and sets KORVEL_PNG_AVX2 first, and the unnamed namespace keeps every
// compilation's copy private, so code built for a wider set never stands in for the baseline one
// at link time.
//
// Sub, average and Paeth depend on the pixel to the left, so a row goes one pixel at a time; for
// 3- and 4-byte pixels each step is a handful of vector operations on one pixel in 16-bit lanes,
// for 1- and 2-byte pixels plain byte arithmetic does as well. Up and the byte reordering go a
// whole register at a time, with byte shuffles where the set has them.
#pragma once

#include "image/png_row_kernels.h"

#include <cstring>
#include <immintrin.h>
#include <type_traits>

namespace korvel {
namespace {

// A pixel of 3 or 4 bytes in the low lanes of a register; 4 bytes are read in either case.
__m128i load_pixel(const std::uint8_t* at) {
    std::int32_t bytes;
    std::memcpy(&bytes, at, sizeof bytes);
    return _mm_cvtsi32_si128(bytes);
}

template <int bytes_per_pixel>
void store_pixel(std::uint8_t* at, __m128i pixel) {
    const std::int32_t bytes = _mm_cvtsi128_si32(pixel);
    std::memcpy(at, &bytes, bytes_per_pixel);
}

__m128i widen(__m128i bytes) {
    return _mm_unpacklo_epi8(bytes, _mm_setzero_si128());
}

__m128i narrow(__m128i words) {
    return _mm_packus_epi16(words, words);
}

__m128i magnitude(__m128i words) {
    return _mm_max_epi16(words, _mm_sub_epi16(_mm_setzero_si128(), words));
}

int paeth_guess(int left, int above, int upper_left) {
    const int to_left = above > upper_left ? above - upper_left : upper_left - above;
    const int to_above = left > upper_left ? left - upper_left : upper_left - left;
    const int sum = left + above - 2 * upper_left;
    const int to_upper_left = sum < 0 ? -sum : sum;
    if (to_left <= to_above && to_left <= to_upper_left) return left;
    return to_above <= to_upper_left ? above : upper_left;
}

// The pixel left of a row's first one is zeros, as is the one above-left of it.
template <int bytes_per_pixel>
void sub_bytes(std::uint8_t* row, const std::uint8_t*, std::size_t size) {
    for (std::size_t i = bytes_per_pixel; i < size; ++i)
        row[i] = static_cast<std::uint8_t>(row[i] + row[i - bytes_per_pixel]);
}

template <int bytes_per_pixel>
void average_bytes(std::uint8_t* row, const std::uint8_t* prior, std::size_t size) {
    for (std::size_t i = 0; i < bytes_per_pixel; ++i)
        row[i] = static_cast<std::uint8_t>(row[i] + (prior[i] >> 1));
    for (std::size_t i = bytes_per_pixel; i < size; ++i)
        row[i] = static_cast<std::uint8_t>(row[i] + ((row[i - bytes_per_pixel] + prior[i]) >> 1));
}

template <int bytes_per_pixel>
void paeth_bytes(std::uint8_t* row, const std::uint8_t* prior, std::size_t size) {
    for (std::size_t i = 0; i < bytes_per_pixel; ++i)
        row[i] = static_cast<std::uint8_t>(row[i] + prior[i]);
    for (std::size_t i = bytes_per_pixel; i < size; ++i)
        row[i] = static_cast<std::uint8_t>(
            row[i] + paeth_guess(row[i - bytes_per_pixel], prior[i], prior[i - bytes_per_pixel]));
}

template <int bytes_per_pixel>
void sub_pixels(std::uint8_t* row, const std::uint8_t*, std::size_t size) {
    __m128i left = _mm_setzero_si128();
    for (std::size_t i = 0; i < size; i += bytes_per_pixel) {
        left = _mm_add_epi8(load_pixel(row + i), left);
        store_pixel<bytes_per_pixel>(row + i, left);
    }
}

template <int bytes_per_pixel>
void average_pixels(std::uint8_t* row, const std::uint8_t* prior, std::size_t size) {
    __m128i left = _mm_setzero_si128();
    for (std::size_t i = 0; i < size; i += bytes_per_pixel) {
        const __m128i guess = _mm_srli_epi16(_mm_add_epi16(left, widen(load_pixel(prior + i))), 1);
        const __m128i pixel = _mm_add_epi8(load_pixel(row + i), narrow(guess));
        store_pixel<bytes_per_pixel>(row + i, pixel);
        left = widen(pixel);
    }
}

// Whichever of left, above and upper-left is closest to left + above - upper-left, ties in that
// order, on 16-bit lanes.
__m128i paeth_pick(__m128i left, __m128i above, __m128i upper_left) {
    const __m128i from_above = _mm_sub_epi16(above, upper_left);
    const __m128i from_left = _mm_sub_epi16(left, upper_left);
    const __m128i to_left = magnitude(from_above);
    const __m128i to_above = magnitude(from_left);
    const __m128i to_upper_left = magnitude(_mm_add_epi16(from_above, from_left));
    const __m128i nearest = _mm_min_epi16(_mm_min_epi16(to_left, to_above), to_upper_left);
    const __m128i take_left = _mm_cmpeq_epi16(to_left, nearest);
    const __m128i take_above = _mm_andnot_si128(take_left, _mm_cmpeq_epi16(to_above, nearest));
    const __m128i take_upper_left =
        _mm_andnot_si128(_mm_or_si128(take_left, take_above), _mm_set1_epi16(-1));
    return _mm_or_si128(
        _mm_or_si128(_mm_and_si128(take_left, left), _mm_and_si128(take_above, above)),
        _mm_and_si128(take_upper_left, upper_left));
}

template <int bytes_per_pixel>
void paeth_pixels(std::uint8_t* row, const std::uint8_t* prior, std::size_t size) {
    __m128i left = _mm_setzero_si128();
    __m128i upper_left = _mm_setzero_si128();
    for (std::size_t i = 0; i < size; i += bytes_per_pixel) {
        const __m128i above = widen(load_pixel(prior + i));
        const __m128i guess = paeth_pick(left, above, upper_left);
        const __m128i pixel = _mm_add_epi8(load_pixel(row + i), narrow(guess));
        store_pixel<bytes_per_pixel>(row + i, pixel);
        left = widen(pixel);
        upper_left = above;
    }
}

void up_row(std::uint8_t* row, const std::uint8_t* prior, std::size_t size) {
    std::size_t i = 0;
#if KORVEL_PNG_AVX2
    for (; i + 32 <= size; i += 32) {
        const __m256i above = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(prior + i));
        __m256i* at = reinterpret_cast<__m256i*>(row + i);
        _mm256_storeu_si256(at, _mm256_add_epi8(_mm256_loadu_si256(at), above));
    }
#endif
    for (; i + 16 <= size; i += 16) {
        const __m128i above = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prior + i));
        __m128i* at = reinterpret_cast<__m128i*>(row + i);
        _mm_storeu_si128(at, _mm_add_epi8(_mm_loadu_si128(at), above));
    }
    for (; i < size; ++i)
        row[i] = static_cast<std::uint8_t>(row[i] + prior[i]);
}

__m128i load16(const std::uint8_t* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

void store16(std::uint8_t* at, __m128i bytes) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), bytes);
}

#if KORVEL_PNG_AVX2
// The byte shuffles that spread 16 bytes of grey samples, or of grey and alpha, into pixels.
template <int shuffles>
struct spread_orders {
    __m128i order[shuffles];
};

spread_orders<3> grey_orders(std::integral_constant<int, 1>) {
    return {{_mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5),
             _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10),
             _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15)}};
}

spread_orders<2> grey_orders(std::integral_constant<int, 2>) {
    return {{_mm_setr_epi8(0, 0, 0, 1, 2, 2, 2, 3, 4, 4, 4, 5, 6, 6, 6, 7),
             _mm_setr_epi8(8, 8, 8, 9, 10, 10, 10, 11, 12, 12, 12, 13, 14, 14, 14, 15)}};
}
#endif

// Grey samples (1 byte a pixel) as blue, green, red, or grey and alpha (2) as all four.
template <int sample_bytes>
void grey_to_pixels(const std::uint8_t* samples, std::int32_t width, const std::uint8_t*,
                    std::uint8_t* out) {
    constexpr int pixel_bytes = sample_bytes + 2;
    std::int32_t x = 0;
#if KORVEL_PNG_AVX2
    constexpr int step = 16 / sample_bytes;
    const auto orders = grey_orders(std::integral_constant<int, sample_bytes>{});
    for (; x + step <= width; x += step) {
        const __m128i bytes = load16(samples + sample_bytes * x);
        for (int i = 0; i < pixel_bytes / sample_bytes; ++i)
            store16(out + pixel_bytes * x + 16 * i, _mm_shuffle_epi8(bytes, orders.order[i]));
    }
#endif
    for (; x < width; ++x) {
        std::memset(out + pixel_bytes * x, samples[sample_bytes * x], 3);
        if constexpr (sample_bytes == 2) out[4 * x + 3] = samples[2 * x + 1];
    }
}

void rgb_to_bgr(const std::uint8_t* samples, std::int32_t width, const std::uint8_t*,
                std::uint8_t* out) {
    std::int32_t x = 0;
#if KORVEL_PNG_AVX2
    // Five pixels a step; the sixteenth byte written is the next step's first.
    const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
    for (; x + 6 <= width; x += 5)
        store16(out + 3 * x, _mm_shuffle_epi8(load16(samples + 3 * x), order));
#endif
    for (; x < width; ++x) {
        out[3 * x] = samples[3 * x + 2];
        out[3 * x + 1] = samples[3 * x + 1];
        out[3 * x + 2] = samples[3 * x];
    }
}

void palette_to_bgr(const std::uint8_t* samples, std::int32_t width, const std::uint8_t* palette,
                    std::uint8_t* out) {
    // Four bytes a pixel, the fourth overwritten by the next pixel, the last one's left out.
    std::int32_t x = 0;
    for (; x + 1 < width; ++x)
        std::memcpy(out + 3 * x, palette + 4 * samples[x], 4);
    std::memcpy(out + 3 * x, palette + 4 * samples[x], 3);
}

// Red and blue change places in each 4-byte pixel.
__m128i swap_red_blue(__m128i pixels) {
    const __m128i red_blue = _mm_and_si128(pixels, _mm_set1_epi32(0x00FF00FF));
    const __m128i green_alpha = _mm_andnot_si128(_mm_set1_epi32(0x00FF00FF), pixels);
    return _mm_or_si128(green_alpha,
                        _mm_or_si128(_mm_slli_epi32(red_blue, 16), _mm_srli_epi32(red_blue, 16)));
}

void rgba_to_bgra(const std::uint8_t* samples, std::int32_t width, const std::uint8_t*,
                  std::uint8_t* out) {
    std::int32_t x = 0;
#if KORVEL_PNG_AVX2
    const __m256i order = _mm256_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15, 2,
                                           1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
    for (; x + 8 <= width; x += 8) {
        const __m256i pixels =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(samples + 4 * x));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * x),
                            _mm256_shuffle_epi8(pixels, order));
    }
#endif
    for (; x + 4 <= width; x += 4)
        store16(out + 4 * x, swap_red_blue(load16(samples + 4 * x)));
    for (; x < width; ++x) {
        out[4 * x] = samples[4 * x + 2];
        out[4 * x + 1] = samples[4 * x + 1];
        out[4 * x + 2] = samples[4 * x];
        out[4 * x + 3] = samples[4 * x + 3];
    }
}

// Two pixels in 16-bit lanes composited over the background's (blue, green, red, 0, twice):
// (channel * alpha + background * (255 - alpha) + 127) / 255, the quotient exact below 65535.
__m128i over_background(__m128i pixels, __m128i background) {
    const __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(pixels, 0xFF), 0xFF);
    const __m128i clear = _mm_sub_epi16(_mm_set1_epi16(255), alpha);
    const __m128i mix = _mm_add_epi16(
        _mm_add_epi16(_mm_mullo_epi16(pixels, alpha), _mm_mullo_epi16(background, clear)),
        _mm_set1_epi16(127));
    return _mm_srli_epi16(
        _mm_add_epi16(_mm_add_epi16(mix, _mm_set1_epi16(1)), _mm_srli_epi16(mix, 8)), 8);
}

std::uint8_t over_background(int channel, int alpha, int background) {
    return static_cast<std::uint8_t>((channel * alpha + background * (255 - alpha) + 127) / 255);
}

// Four composited pixels (blue, green, red, something) written as twelve bytes red, green, blue.
void store_rgb(__m128i composited, std::uint8_t* out) {
    alignas(16) std::uint8_t bytes[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(bytes), composited);
    for (int i = 0; i < 4; ++i) {
        out[3 * i] = bytes[4 * i + 2];
        out[3 * i + 1] = bytes[4 * i + 1];
        out[3 * i + 2] = bytes[4 * i];
    }
}

void bgra_over_to_rgb(const std::uint8_t* pixels, std::int32_t width, std::uint32_t background,
                      std::uint8_t* out) {
    const int red = background >> 16 & 0xFF, green = background >> 8 & 0xFF,
              blue = background & 0xFF;
    const __m128i behind = _mm_setr_epi16(static_cast<short>(blue), static_cast<short>(green),
                                          static_cast<short>(red), 0, static_cast<short>(blue),
                                          static_cast<short>(green), static_cast<short>(red), 0);
    std::int32_t x = 0;
    for (; x + 4 <= width; x += 4) {
        const __m128i four = load16(pixels + 4 * x);
        const __m128i zero = _mm_setzero_si128();
        const __m128i composited =
            _mm_packus_epi16(over_background(_mm_unpacklo_epi8(four, zero), behind),
                             over_background(_mm_unpackhi_epi8(four, zero), behind));
#if KORVEL_PNG_AVX2
        // Twelve bytes a step and four zeros after them, which the next step writes over.
        const __m128i order = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
        if (x + 6 <= width) {
            store16(out + 3 * x, _mm_shuffle_epi8(composited, order));
            continue;
        }
#endif
        store_rgb(composited, out + 3 * x);
    }
    for (; x < width; ++x) {
        const std::uint8_t* p = pixels + 4 * x;
        out[3 * x] = over_background(p[2], p[3], red);
        out[3 * x + 1] = over_background(p[1], p[3], green);
        out[3 * x + 2] = over_background(p[0], p[3], blue);
    }
}

constexpr png_row_kernels make_png_row_kernels(const char* name) {
    return {name,
            {{sub_bytes<1>, sub_bytes<2>, sub_pixels<3>, sub_pixels<4>},
             {up_row, up_row, up_row, up_row},
             {average_bytes<1>, average_bytes<2>, average_pixels<3>, average_pixels<4>},
             {paeth_bytes<1>, paeth_bytes<2>, paeth_pixels<3>, paeth_pixels<4>}},
            grey_to_pixels<1>,
            rgb_to_bgr,
            palette_to_bgr,
            grey_to_pixels<2>,
            rgba_to_bgra,
            bgra_over_to_rgb};
}

} // namespace
} // namespace korvel
