// The sums behind weighted means. The row kernels are the hot loop of a weighted render (every
// layer passes through one once), so they are plain loops that the compiler vectorises: no
// branch per pixel, restrict pointers, and a fixed trip count per block.
#include "engine/weighted_mean.h"

#include "engine/row_parts.h"
#include "engine/srgb_linear.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <exception>
#include <limits>
#include <new>
#include <numeric>
#include <type_traits>

namespace korvel {
namespace {

constexpr std::uint32_t largest_weight = 1024;
constexpr std::int32_t largest_side = 32767;
// Sums per pixel: blue, green, red and alpha, or only the colours in the 16-bit sums of opaque
// layers (see weighted_mean::opaque), whose alpha sums are known.
template <typename Sum>
constexpr std::int32_t channels = std::is_same_v<Sum, std::uint16_t> ? 3 : 4;
// Opaque sums hold at most this much weight, so that every sum of w*c stays below 2^16.
constexpr std::uint64_t opaque_weight_limit = 256;
// At -O2 GCC vectorises only loops whose trip count the vector width divides.
constexpr std::int32_t block_pixels = 16;

// The layer's rows and columns that land on the canvas: its top rows (the last in memory) on
// the canvas's top rows.
struct placement {
    std::int32_t source_row;
    std::int32_t canvas_row;
    std::int32_t rows;
    std::int32_t columns;
};

placement place(const bitmap& layer, std::int32_t width, std::int32_t height) {
    const std::int32_t rows = std::min(layer.height, height);
    return {layer.height - rows, height - rows, rows, std::min(layer.width, width)};
}

struct stored_colour {
    std::uint32_t operator()(std::uint8_t value) const { return value; }
};

struct linear_colour {
    const std::uint16_t* decode;
    std::uint32_t operator()(std::uint8_t value) const { return decode[value]; }
};

struct stored_mean {
    std::uint8_t operator()(std::uint32_t mean) const { return static_cast<std::uint8_t>(mean); }
};

struct linear_mean {
    const std::uint8_t* encode;
    std::uint8_t operator()(std::uint32_t mean) const { return encode[mean]; }
};

// Factor is the weight, or the weight negated modulo the sum type's range to take a layer out.
template <std::int32_t Bytes, typename Sum, typename Colour>
void sum_pixels(const std::uint8_t* __restrict source, Sum* __restrict sums, std::int32_t count,
                Sum factor, Colour colour) {
    for (std::int32_t i = 0; i < count; ++i) {
        const std::uint8_t* pixel = source + i * Bytes;
        Sum* sum = sums + i * channels<Sum>;
        if constexpr (channels<Sum> == 3) {
            for (std::int32_t c = 0; c < 3; ++c)
                sum[c] = static_cast<Sum>(sum[c] + factor * colour(pixel[c]));
        } else {
            const Sum weighted_alpha = factor * (Bytes == 4 ? pixel[3] : 255u);
            sum[0] += weighted_alpha * colour(pixel[0]);
            sum[1] += weighted_alpha * colour(pixel[1]);
            sum[2] += weighted_alpha * colour(pixel[2]);
            sum[3] += weighted_alpha;
        }
    }
}

template <std::int32_t Bytes, typename Sum, typename Colour>
void sum_row(const std::uint8_t* source, Sum* sums, std::int32_t count, Sum factor, Colour colour) {
    std::int32_t done = 0;
    for (; done + block_pixels <= count; done += block_pixels)
        sum_pixels<Bytes>(source + done * Bytes, sums + done * channels<Sum>, block_pixels, factor,
                          colour);
    sum_pixels<Bytes>(source + done * Bytes, sums + done * channels<Sum>, count - done, factor,
                      colour);
}

template <std::int32_t Bytes, typename Sum, typename Colour>
void sum_layer_rows(row_parts& parts, const bitmap& layer, std::int32_t width, std::int32_t height,
                    Sum factor, Colour colour, Sum* sums) {
    const placement at = place(layer, width, height);
    parts.run(at.rows, at.columns, [&](std::int32_t first, std::int32_t end) {
        for (std::int32_t row = first; row < end; ++row)
            sum_row<Bytes>(
                layer.pixels + static_cast<std::ptrdiff_t>(at.source_row + row) * layer.stride,
                sums + static_cast<std::ptrdiff_t>(at.canvas_row + row) * width * channels<Sum>,
                at.columns, factor, colour);
    });
}

template <typename Sum, typename Colour>
void sum_layer(row_parts& parts, const bitmap& layer, std::int32_t width, std::int32_t height,
               Sum factor, Colour colour, Sum* sums) {
    if (layer.depth == 32)
        sum_layer_rows<4>(parts, layer, width, height, factor, colour, sums);
    else
        sum_layer_rows<3>(parts, layer, width, height, factor, colour, sums);
}

template <typename Sum, typename Mean>
void mean_row(const Sum* __restrict sums, std::uint8_t* __restrict pixels, std::int32_t count,
              Sum total_weight, Mean mean) {
    for (std::int32_t i = 0; i < count; ++i) {
        const Sum* sum = sums + i * channels<Sum>;
        std::uint8_t* pixel = pixels + i * 4;
        const Sum alpha_sum = sum[3];
        for (std::int32_t colour = 0; colour < 3; ++colour)
            pixel[colour] = mean(alpha_sum == 0 ? 0 : (sum[colour] + alpha_sum / 2) / alpha_sum);
        pixel[3] = static_cast<std::uint8_t>((alpha_sum + total_weight / 2) / total_weight);
    }
}

// Opaque sums: with D = 255 W and the colour sums 255 S, floor((255 S + floor(D / 2)) / D) is
// floor((S + floor(W / 2)) / W) for whole S and W, which a table gives for every S; alpha is
// floor((255 W + floor(W / 2)) / W), 255, or 0 without weight.
void opaque_mean_row(const std::uint16_t* __restrict sums, std::uint8_t* __restrict pixels,
                     std::int32_t count, const std::uint8_t* __restrict quotients,
                     std::uint8_t alpha) {
    for (std::int32_t i = 0; i < count; ++i) {
        for (std::int32_t colour = 0; colour < 3; ++colour)
            pixels[i * 4 + colour] = quotients[sums[i * 3 + colour]];
        pixels[i * 4 + 3] = alpha;
    }
}

template <typename Sum, typename Mean>
void write_means(row_parts& parts, const Sum* sums, Sum total_weight, Mean mean, bitmap& canvas) {
    // No weight means no alpha either: every sum is 0.
    const Sum divisor = std::max<Sum>(total_weight, 1);
    // On the stack, as writing must not fail; filled only for opaque sums.
    std::array<std::uint8_t, std::size_t{1} << 16> quotients;
    if constexpr (channels<Sum> == 3) {
        for (std::size_t sum = 0; sum < quotients.size(); ++sum)
            quotients[sum] = static_cast<std::uint8_t>(
                std::min<std::size_t>((sum + divisor / 2) / divisor, 255));
    }
    parts.run(canvas.height, canvas.width, [&](std::int32_t first, std::int32_t end) {
        for (std::int32_t row = first; row < end; ++row) {
            const Sum* row_sums =
                sums + static_cast<std::ptrdiff_t>(row) * canvas.width * channels<Sum>;
            std::uint8_t* pixels = canvas.pixels + static_cast<std::ptrdiff_t>(row) * canvas.stride;
            if constexpr (channels<Sum> == 3)
                opaque_mean_row(row_sums, pixels, canvas.width, quotients.data(),
                                total_weight == 0 ? 0 : 255);
            else
                mean_row(row_sums, pixels, canvas.width, divisor, mean);
        }
    });
}

// Whether the largest sum, with room for the rounding term added to it, exceeds 32 bits.
bool needs_wide_sums(std::uint32_t max_weight, std::int64_t layers, bool linear) {
    const std::uint64_t colour_limit = (linear ? linear_white : 255u) + 1;
    const std::uint64_t per_layer = std::max<std::uint64_t>(max_weight, 1) * 255 * colour_limit;
    const auto bound_layers = static_cast<std::uint64_t>(std::max<std::int64_t>(layers, 1));
    return bound_layers > std::numeric_limits<std::uint32_t>::max() / per_layer;
}

// Whether the layer lends every canvas pixel full alpha: it covers the canvas, and a 32-bit one
// is opaque wherever it lands.
bool covers_opaquely(const bitmap& layer, std::int32_t width, std::int32_t height) {
    if (layer.width < width || layer.height < height) return false;
    if (layer.depth != 32) return true;
    const placement at = place(layer, width, height);
    for (std::int32_t row = 0; row < at.rows; ++row) {
        const std::uint8_t* pixels =
            layer.pixels + static_cast<std::ptrdiff_t>(at.source_row + row) * layer.stride;
        for (std::int32_t x = 0; x < at.columns; ++x)
            if (pixels[x * 4 + 3] != 255) return false;
    }
    return true;
}

bool summable(const bitmap& layer) {
    return layer.type == OBJ_BITMAP && layer.pixels != nullptr &&
           (layer.depth == 24 || layer.depth == 32);
}

} // namespace

std::vector<std::uint32_t> scaled_weights(const std::vector<double>& weights) {
    const bool usable = std::all_of(weights.begin(), weights.end(), [](double weight) {
        return std::isfinite(weight) && weight >= 0;
    });
    const double largest =
        usable && !weights.empty() ? *std::max_element(weights.begin(), weights.end()) : 0;
    if (largest <= 0) return {};
    try {
        std::vector<std::uint32_t> scaled;
        scaled.reserve(weights.size());
        for (const double weight : weights)
            scaled.push_back(
                static_cast<std::uint32_t>(std::round(weight / largest * largest_weight)));
        return scaled;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

std::vector<std::uint32_t> quantised_weights(const std::vector<double>& weights) {
    std::vector<std::uint32_t> quantised = scaled_weights(weights);
    const std::uint32_t divisor =
        std::accumulate(quantised.begin(), quantised.end(), std::uint32_t{0},
                        [](std::uint32_t a, std::uint32_t b) { return std::gcd(a, b); });
    for (std::uint32_t& weight : quantised)
        weight /= divisor;
    return quantised;
}

std::vector<double> gauss_weights(std::int64_t layers, double sigma) {
    if (layers < 1 || !std::isfinite(sigma) || sigma <= 0) return {};
    try {
        std::vector<double> weights(static_cast<std::size_t>(layers));
        const double centre = static_cast<double>(layers - 1) / 2;
        for (std::size_t i = 0; i < weights.size(); ++i) {
            const double distance = (static_cast<double>(i) - centre) / sigma;
            weights[i] = std::exp(-distance * distance / 2);
        }
        return weights;
    } catch (const std::exception&) { // bad_alloc, or length_error for absurd lengths
        return {};
    }
}

weighted_mean::weighted_mean(std::int32_t width, std::int32_t height, std::uint32_t max_weight,
                             std::int64_t layers, bool linear, std::int32_t threads)
    : width_(width), height_(height), linear_(linear) {
    if (width < 1 || height < 1 || width > largest_side || height > largest_side) return;
    const auto pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const auto weight_bound = std::max<std::uint64_t>(max_weight, 1) *
                              static_cast<std::uint64_t>(std::max<std::int64_t>(layers, 1));
    try {
        if (!linear && layers <= std::int64_t{opaque_weight_limit} &&
            weight_bound <= opaque_weight_limit)
            sums_.emplace<std::vector<std::uint16_t>>(pixels * channels<std::uint16_t>);
        else if (needs_wide_sums(max_weight, layers, linear))
            sums_.emplace<std::vector<std::uint64_t>>(pixels * channels<std::uint64_t>);
        else
            sums_.emplace<std::vector<std::uint32_t>>(pixels * channels<std::uint32_t>);
        parts_ = std::make_unique<row_parts>(threads);
        ready_ = true;
    } catch (const std::bad_alloc&) {
        sums_.emplace<std::vector<std::uint32_t>>();
    }
}

weighted_mean::~weighted_mean() = default;

bool weighted_mean::add(const bitmap& layer, std::uint32_t weight) {
    return sum_in(layer, weight, false);
}

bool weighted_mean::remove(const bitmap& layer, std::uint32_t weight) {
    return sum_in(layer, weight, true);
}

bool weighted_mean::sum_in(const bitmap& layer, std::uint32_t weight, bool taking_out) {
    if (!ready_ || !summable(layer)) return false;
    if (opaque() && !covers_opaquely(layer, width_, height_) && !widen()) {
        ready_ = false; // the memory for the full sums ran out
        return false;
    }
    total_weight_ += taking_out ? 0 - std::uint64_t{weight} : weight;
    std::visit(
        [&](auto& sums) {
            using Sum = typename std::decay_t<decltype(sums)>::value_type;
            const auto factor = static_cast<Sum>(taking_out ? Sum{0} - weight : weight);
            if (linear_)
                sum_layer(*parts_, layer, width_, height_, factor,
                          linear_colour{srgb_to_linear_table()}, sums.data());
            else
                sum_layer(*parts_, layer, width_, height_, factor, stored_colour{}, sums.data());
        },
        sums_);
    return true;
}

void weighted_mean::write(bitmap& canvas) const {
    const bool fits = canvas.type == OBJ_BITMAP && canvas.pixels != nullptr && canvas.depth == 32 &&
                      canvas.width == width_ && canvas.height == height_;
    if (!ready_ || !fits) return;
    std::visit(
        [&](const auto& sums) {
            using Sum = typename std::decay_t<decltype(sums)>::value_type;
            const auto total = static_cast<Sum>(total_weight_);
            if (linear_)
                write_means(*parts_, sums.data(), total, linear_mean{linear_to_srgb_table()},
                            canvas);
            else
                write_means(*parts_, sums.data(), total, stored_mean{}, canvas);
        },
        sums_);
}

// The opaque sums become full 32-bit ones for a layer that is not opaque: each colour sum 255
// times its plain sum, each alpha sum 255 W. They are exact between calls, so this is too.
bool weighted_mean::widen() {
    try {
        const auto& opaque_sums = std::get<std::vector<std::uint16_t>>(sums_);
        std::vector<std::uint32_t> full(opaque_sums.size() / 3 * 4);
        const auto alpha = static_cast<std::uint32_t>(255 * total_weight_);
        for (std::size_t from = 0, to = 0; from < opaque_sums.size(); from += 3, to += 4) {
            for (std::size_t c = 0; c < 3; ++c)
                full[to + c] = 255u * opaque_sums[from + c];
            full[to + 3] = alpha;
        }
        sums_ = std::move(full);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void weighted_mean::clear() {
    std::visit([](auto& sums) { std::fill(sums.begin(), sums.end(), 0); }, sums_);
    total_weight_ = 0;
}

} // namespace korvel
