// The over operator on rows of 32-bit destination pixels, written once with the compiler's vector
// types and compiled once per instruction set: each including file chooses its target and its
// register width (KORVEL_VECTOR_BYTES) first, and the unnamed namespace keeps every compilation's
// copy private, so code built for a wider set never stands in for the baseline one at link time.
// Every path gives exactly the bytes of the integer formula; the vectors only reach them sooner.
#pragma once

#include "drawing/over_kernel.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace korvel {
namespace {

constexpr std::int32_t vector_bytes = KORVEL_VECTOR_BYTES;
constexpr std::int32_t block_pixels = vector_bytes / 4;

using u32v = std::uint32_t __attribute__((vector_size(vector_bytes)));
using i32v = std::int32_t __attribute__((vector_size(vector_bytes)));
using f32v = float __attribute__((vector_size(vector_bytes)));
using u8v = std::uint8_t __attribute__((vector_size(vector_bytes)));

constexpr std::uint32_t alpha_mask = 0xFF000000u;
constexpr std::uint32_t colour_mask = 0x00FFFFFFu;

bool all_zero(u32v v) {
    std::uint32_t any = 0;
    for (std::int32_t i = 0; i < block_pixels; ++i)
        any |= v[i];
    return any == 0;
}

// Lanes of on_true where mask is all ones, of on_false where it is zero.
u32v select(i32v mask, u32v on_true, u32v on_false) {
    const u32v m = __builtin_bit_cast(u32v, mask);
    return (on_true & m) | (on_false & ~m);
}

f32v to_float(u32v v) {
    return __builtin_convertvector(__builtin_bit_cast(i32v, v), f32v);
}

// floor(x / 255) for 0 <= x <= 65534, the range of every product of two bytes.
u32v div255(u32v x) {
    return (x + 1 + (x >> 8)) >> 8;
}

// floor(numerator / divisor) for integers below 2^24 held exactly in floats. Truncating the
// product with the reciprocal lands within one of the quotient, and products of such integers
// are exact in a float, so one step each way makes it the truncating quotient (a comparison gives
// -1 in each lane where it holds).
u32v exact_quotient(f32v numerator, f32v divisor, f32v reciprocal) {
    i32v q = __builtin_convertvector(numerator * reciprocal, i32v);
    const f32v product = __builtin_convertvector(q, f32v) * divisor;
    q += product > numerator;
    q -= product + divisor <= numerator;
    return __builtin_bit_cast(u32v, q);
}

// A destination that is opaque makes the divisor 255 * 255, so each colour reduces to
// (Sc * a + Dc * (255 - a)) / 255; blue and red travel together in the two halves of a lane.
u32v over_opaque(u32v s, u32v d, u32v a) {
    const u32v na = 255 - a;
    u32v red_blue = (s & 0x00FF00FFu) * a + (d & 0x00FF00FFu) * na;
    red_blue = ((red_blue + 0x00010001u + ((red_blue >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    const u32v green = div255(((s >> 8) & 0xFFu) * a + ((d >> 8) & 0xFFu) * na);
    return red_blue | (green << 8) | alpha_mask;
}

// The formula in full for any destination alpha: every channel divided by the per-pixel weight
// sum (255 - a) * Da + a * 255. Pixels with a = 0 keep their destination.
template <bool keep_alpha>
u32v over_general(u32v s, u32v d, u32v a) {
    const u32v dest_weight = (255 - a) * (d >> 24);
    const u32v source_weight = a * 255;
    const u32v divisor = dest_weight + source_weight;
    // a = 0 with Da = 0 leaves the sum 0; those lanes are discarded, one keeps the division sound.
    const f32v divisor_f = to_float(divisor | (__builtin_bit_cast(u32v, divisor == 0) & 1));
    const f32v reciprocal = 1.0f / divisor_f;
    const f32v fs = to_float(source_weight);
    const f32v fd = to_float(dest_weight);
    u32v colour{};
    for (int shift = 0; shift <= 16; shift += 8) {
        const f32v numerator =
            to_float((s >> shift) & 0xFFu) * fs + to_float((d >> shift) & 0xFFu) * fd;
        colour |= exact_quotient(numerator, divisor_f, reciprocal) << shift;
    }
    const u32v alpha = keep_alpha ? (d & alpha_mask) : (div255(divisor) << 24);
    return select(a == 0, d, colour | alpha);
}

// One block of pixels through the over operator with effective source alphas a. Blocks that
// share a simple case take its shortcut; the shortcuts are the formula's own special values.
template <bool keep_alpha>
u32v over_block(u32v s, u32v d, u32v a) {
    if (all_zero(a)) return d;
    if (all_zero(a ^ 255))
        return (s & colour_mask) | (keep_alpha ? (d & alpha_mask) : u32v{} + alpha_mask);
    const u32v dest_alpha = d >> 24;
    if (all_zero(dest_alpha ^ 255)) return over_opaque(s, d, a);
    if (all_zero(dest_alpha)) {
        const u32v alpha = keep_alpha ? u32v{} : a << 24;
        return select(a == 0, d, (s & colour_mask) | alpha);
    }
    return over_general<keep_alpha>(s, d, a);
}

u32v load_bgra(const std::uint8_t* p) {
    u32v v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Four 3-byte pixels to lanes. The baseline has no byte shuffle, so each lane is one unaligned
// 4-byte read whose top byte (the next pixel's blue) is never used; the wider build spreads each
// 16-byte half with one shuffle. Either way a block's loads reach up to 4 bytes past its last
// pixel, which the caller must own.
#if KORVEL_VECTOR_BYTES == 16
std::uint32_t load_u32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

u32v load_bgr(const std::uint8_t* p) {
    return u32v{load_u32(p), load_u32(p + 3), load_u32(p + 6), load_u32(p + 9)};
}
#else
using u8x16 = std::uint8_t __attribute__((vector_size(16)));

constexpr u8v spread_mask{0,  1,  2,  0,  3,  4,  5,  0,  6,  7,  8,  0,  9,  10, 11, 0,
                          16, 17, 18, 16, 19, 20, 21, 16, 22, 23, 24, 16, 25, 26, 27, 16};

u32v load_bgr(const std::uint8_t* p) {
    u8x16 low, high;
    std::memcpy(&low, p, sizeof low);
    std::memcpy(&high, p + 12, sizeof high);
    const u8v bytes =
        __builtin_shufflevector(low, high, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                                17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
    return __builtin_bit_cast(u32v, __builtin_shuffle(bytes, spread_mask));
}
#endif

void store(std::uint8_t* p, u32v v) {
    std::memcpy(p, &v, sizeof v);
}

template <std::int32_t source_bytes>
u32v load(const std::uint8_t* p) {
    if constexpr (source_bytes == 4)
        return load_bgra(p);
    else
        return load_bgr(p);
}

// Runs block(source, destination) over a row a block at a time. Blocks are read straight from the
// row while the row holds every byte a load touches (3-byte loads read 4 bytes further); the rest
// goes through the same code on zero-padded copies, of which only the real pixels are written
// back.
template <std::int32_t source_bytes, class Block>
void for_each_block(std::uint8_t* dst, const std::uint8_t* src, std::int32_t count, Block block) {
    constexpr std::int32_t read_beyond = source_bytes == 3 ? 2 : 0; // pixels covering 4 bytes
    std::int32_t i = 0;
    for (; i + block_pixels + read_beyond <= count; i += block_pixels)
        store(dst + i * 4,
              block(load<source_bytes>(src + i * source_bytes), load_bgra(dst + i * 4)));
    for (; i < count; i += block_pixels) {
        const auto rest = static_cast<std::size_t>(std::min(count - i, block_pixels));
        std::uint8_t src_tail[vector_bytes + 4] = {};
        std::uint8_t dst_tail[vector_bytes] = {};
        std::memcpy(src_tail, src + i * source_bytes, rest * source_bytes);
        std::memcpy(dst_tail, dst + i * 4, rest * 4);
        store(dst_tail, block(load<source_bytes>(src_tail), load_bgra(dst_tail)));
        std::memcpy(dst + i * 4, dst_tail, rest * 4);
    }
}

template <bool keep_alpha, bool full_opacity>
void over_bgra_rows(std::uint8_t* dst, const std::uint8_t* src, std::int32_t count,
                    std::uint32_t opacity) {
    for_each_block<4>(dst, src, count, [opacity](u32v s, u32v d) {
        const u32v a = full_opacity ? (s >> 24) : div255((s >> 24) * opacity);
        return over_block<keep_alpha>(s, d, a);
    });
}

template <bool keep_alpha>
void over_bgra(std::uint8_t* dst, const std::uint8_t* src, std::int32_t count,
               std::int32_t opacity) {
    if (opacity == 255)
        over_bgra_rows<keep_alpha, true>(dst, src, count, 255);
    else if (opacity > 0)
        over_bgra_rows<keep_alpha, false>(dst, src, count, static_cast<std::uint32_t>(opacity));
}

template <bool keep_alpha>
void over_bgr(std::uint8_t* dst, const std::uint8_t* src, std::int32_t count,
              std::int32_t opacity) {
    if (opacity <= 0) return;
    const u32v a = u32v{} + static_cast<std::uint32_t>(opacity);
    for_each_block<3>(dst, src, count,
                      [a](u32v s, u32v d) { return over_block<keep_alpha>(s, d, a); });
}

// A named block: a lambda without captures also gets a plain-function form, which the wider
// build's target would not reach.
struct colour_copy_block {
    u32v operator()(u32v s, u32v d) const { return (s & colour_mask) | (d & alpha_mask); }
};

void copy_bgr_keep_alpha(std::uint8_t* dst, const std::uint8_t* src, std::int32_t count) {
    for_each_block<3>(dst, src, count, colour_copy_block{});
}

constexpr over_row_set make_over_row_set(const char* name) {
    return {name,           over_bgra<false>,   over_bgra<true>, over_bgr<false>,
            over_bgr<true>, copy_bgr_keep_alpha};
}

} // namespace
} // namespace korvel
