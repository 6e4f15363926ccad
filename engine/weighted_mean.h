// Weighted means of the layers of one output frame, for blurs that weigh every layer by a number
// instead of stacking them with the over operator. Per pixel, with integer weights w, the layer
// alphas a (255 for 24-bit layers, 0 where a layer does not reach) and W the sum of the weights:
// alpha = floor((sum w*a + floor(W/2)) / W) and each colour c = floor((sum w*a*c + floor(D/2)) / D)
// with D = sum w*a, 0 where D is 0, so that transparent pixels lend no colour. In linear light
// the colours are decoded from sRGB before the sums and encoded after the division.
#pragma once

#include "image/bitmap.h"

#include <cstdint>
#include <memory>
#include <variant>
#include <vector>

namespace korvel {

// Integer weights for real ones: the largest becomes 1024 and every other weight its share of
// 1024 rounded to nearest (halves away from zero). Empty when there are none, any is negative or
// not finite, or all are zero.
std::vector<std::uint32_t> scaled_weights(const std::vector<double>& weights);

// The scaled weights divided by their greatest common divisor, which changes no mean and keeps
// the sums small (equal weights become all 1).
std::vector<std::uint32_t> quantised_weights(const std::vector<double>& weights);

// The weights of a Gaussian over layers layers centred on the middle one (layer i lies at
// i - (layers - 1) / 2), sigma counted in layers. Empty unless layers >= 1 and sigma is finite
// and positive.
std::vector<double> gauss_weights(std::int64_t layers, double sigma);

class row_parts;

// Running sums over the layers of one frame: layers are added and taken out again (a sliding
// window with equal weights swaps only the layers that enter and leave it), and the mean of
// whatever the sums hold is written on demand. Layers lie with their top-left pixel on the
// canvas's top-left pixel, cut to the canvas, as draw_image_alpha draws them at (0, 0).
class weighted_mean {
public:
    // Sums for width x height canvases. At most layers layers of weight max_weight or less are
    // in the sums at any time: these bound the sums, which are kept in 32 bits when that bound
    // fits and in 64 otherwise, and in 16 bits while the layers are opaque (see opaque). threads
    // as for layer_compositor: large layers are split by rows into 4 parts per thread.
    weighted_mean(std::int32_t width, std::int32_t height, std::uint32_t max_weight,
                  std::int64_t layers, bool linear, std::int32_t threads);
    ~weighted_mean();
    weighted_mean(const weighted_mean&) = delete;
    weighted_mean& operator=(const weighted_mean&) = delete;

    // False when the size was not 1 to 32767 each way or memory for the sums ran out (also for
    // the full sums that a layer which is not opaque needs, see opaque); nothing else does
    // anything then.
    bool ready() const { return ready_; }

    // Sums a 24- or 32-bit bitmap in with its weight. False, changing nothing, for other
    // layers or when not ready (also once memory ran out for it).
    bool add(const bitmap& layer, std::uint32_t weight);

    // Takes a layer added earlier with that weight out again: the sums are then exactly those
    // of the layers left.
    bool remove(const bitmap& layer, std::uint32_t weight);

    // The mean of the layers now in the sums into a 32-bit canvas of the sums' size (others are
    // left alone); a canvas with no weight in the sums becomes transparent black.
    void write(bitmap& canvas) const;

    // Empties the sums.
    void clear();

    // Whether the sums are 64-bit; for tests and benchmarks that pick cases on either side.
    bool wide() const { return std::holds_alternative<std::vector<std::uint64_t>>(sums_); }

    // Whether the sums are the short ones of opaque layers: while every layer summed covers the
    // canvas without transparency, in stored colours, and the weight in the sums never exceeds
    // 256, only the colours' plain weighted sums are kept, in 16 bits (a footage frame's sums
    // take 6 bytes a pixel instead of 16). The first other layer makes them full sums for good.
    bool opaque() const { return std::holds_alternative<std::vector<std::uint16_t>>(sums_); }

private:
    bool sum_in(const bitmap& layer, std::uint32_t weight, bool taking_out);
    bool widen();

    std::int32_t width_;
    std::int32_t height_;
    bool linear_;
    bool ready_ = false;
    std::uint64_t total_weight_ = 0; // modulo 2^64, like the sums
    // Blue, green, red and alpha sums of each pixel, in the canvas's row order. Unsigned sums
    // wrap, so taking a layer out is adding it with the weight negated modulo 2^32 or 2^64, and
    // every sum ends exact as long as the layers in it respect the bound.
    std::variant<std::vector<std::uint16_t>, std::vector<std::uint32_t>, std::vector<std::uint64_t>>
        sums_;
    std::unique_ptr<row_parts> parts_;
};

} // namespace korvel
