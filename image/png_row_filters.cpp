// The row filters run on every row of every frame written. The bytes per pixel are a template
// argument and the guesses inlined lambdas, so that each filter is one loop without aliasing, which
// GCC vectorises, the Paeth guess's comparisons included; that one still costs a few times more.
#include "image/png_row_filters.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace korvel {
namespace {

// GCC's -O2 vectorises only loops whose count is a multiple of the vector size: the row goes in
// blocks of a fixed size, then byte by byte.
constexpr std::ptrdiff_t BLOCK_BYTES = 32;

// count bytes from the given place in the row, which is at least one pixel in.
template <int bytes_per_pixel, typename Guess>
void filter_span(const std::uint8_t* __restrict row, const std::uint8_t* __restrict prior,
                 std::uint8_t* __restrict out, std::ptrdiff_t count, Guess guess) {
    for (std::ptrdiff_t i = 0; i < count; ++i) {
        out[i] = static_cast<std::uint8_t>(
            row[i] - guess(row[i - bytes_per_pixel], prior[i], prior[i - bytes_per_pixel]));
    }
}

// The pixel left of the row's first one is zeros, as is the one above-left of it.
template <int bytes_per_pixel, typename Guess>
void filter_with(const png_filter_input& input, std::uint8_t* out, Guess guess) {
    for (std::size_t i = 0; i < bytes_per_pixel; ++i)
        out[i] = static_cast<std::uint8_t>(input.row[i] - guess(0, input.prior[i], 0));
    const auto size = static_cast<std::ptrdiff_t>(input.size);
    std::ptrdiff_t at = bytes_per_pixel;
    for (; at + BLOCK_BYTES <= size; at += BLOCK_BYTES)
        filter_span<bytes_per_pixel>(input.row + at, input.prior + at, out + at, BLOCK_BYTES,
                                     guess);
    filter_span<bytes_per_pixel>(input.row + at, input.prior + at, out + at, size - at, guess);
}

// Whichever neighbour is closest to left + above - upper_left, ties in that order.
int paeth_guess(int left, int above, int upper_left) {
    const int to_left = std::abs(above - upper_left);
    const int to_above = std::abs(left - upper_left);
    const int to_upper_left = std::abs(left + above - 2 * upper_left);
    if (to_left <= to_above && to_left <= to_upper_left) return left;
    return to_above <= to_upper_left ? above : upper_left;
}

template <int bytes_per_pixel>
void filter_row(png_filter_type type, const png_filter_input& input, std::uint8_t* out) {
    switch (type) {
    case png_filter_type::none:
        std::memcpy(out, input.row, input.size);
        break;
    case png_filter_type::sub:
        filter_with<bytes_per_pixel>(input, out, [](int left, int, int) { return left; });
        break;
    case png_filter_type::up:
        filter_with<bytes_per_pixel>(input, out, [](int, int above, int) { return above; });
        break;
    case png_filter_type::average:
        filter_with<bytes_per_pixel>(input, out,
                                     [](int left, int above, int) { return (left + above) >> 1; });
        break;
    case png_filter_type::paeth:
        filter_with<bytes_per_pixel>(input, out, paeth_guess);
        break;
    }
}

// Bytes near 0 or 256 are both small differences.
std::uint32_t span_magnitude(const std::uint8_t* bytes, std::ptrdiff_t count) {
    std::uint32_t sum = 0;
    for (std::ptrdiff_t i = 0; i < count; ++i)
        sum += static_cast<std::uint32_t>(std::abs(static_cast<std::int8_t>(bytes[i])));
    return sum;
}

std::uint64_t magnitude_sum(const std::uint8_t* bytes, std::size_t size) {
    const auto count = static_cast<std::ptrdiff_t>(size);
    std::uint64_t sum = 0;
    std::ptrdiff_t at = 0;
    for (; at + BLOCK_BYTES <= count; at += BLOCK_BYTES)
        sum += span_magnitude(bytes + at, BLOCK_BYTES);
    return sum + span_magnitude(bytes + at, count - at);
}

} // namespace

void png_filter_row(png_filter_type type, const png_filter_input& input, std::uint8_t* out) {
    if (input.bytes_per_pixel == 4)
        filter_row<4>(type, input, out);
    else
        filter_row<3>(type, input, out);
}

png_filter_type png_filter_row_adaptive(const png_filter_input& input, std::uint8_t* out,
                                        std::uint8_t* scratch) {
    png_filter_type best = png_filter_type::none;
    png_filter_row(best, input, out);
    std::uint64_t best_sum = magnitude_sum(out, input.size);
    for (const png_filter_type type : {png_filter_type::sub, png_filter_type::up,
                                       png_filter_type::average, png_filter_type::paeth}) {
        png_filter_row(type, input, scratch);
        const std::uint64_t sum = magnitude_sum(scratch, input.size);
        if (sum >= best_sum) continue;
        best = type;
        best_sum = sum;
        std::memcpy(out, scratch, input.size);
    }
    return best;
}

} // namespace korvel
