// The colour network: every neuron is a colour that moves towards the samples it wins, pulling
// its neighbours (by index) along with it, with a learning rate and a neighbourhood that shrink
// as learning goes on. A frequency-driven bias lets neurons that rarely win take part, so that no
// palette entry is wasted. All arithmetic is integer fixed point, so results never depend on the
// floating-point unit.
#include "image/neuquant.h"

#include "image/gamma_curve.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace korvel {
namespace {

constexpr int CHANNELS = 4;
constexpr int MAX_NEURONS = 256;
// Neuron values keep 4 fraction bits below the 0-255 scale.
constexpr int VALUE_SHIFT = 4;
// Frequencies and biases are fixed point with 1.0 = 1 << 16.
constexpr int FREQUENCY_SHIFT = 16;
constexpr std::int64_t FREQUENCY_ONE = std::int64_t{1} << FREQUENCY_SHIFT;
// Each sample moves every frequency 1/1024 of the way towards "won this sample or not".
constexpr int BETA_SHIFT = 10;
// Biases grow 1024 times as fast as frequencies fall short of their fair share.
constexpr int BIAS_GAIN_SHIFT = 10;
constexpr std::int64_t WIN_FREQUENCY = FREQUENCY_ONE >> BETA_SHIFT;
constexpr std::int64_t WIN_BIAS = WIN_FREQUENCY << BIAS_GAIN_SHIFT;

constexpr std::int64_t RATE_ONE = 1 << 10;
constexpr int RADIUS_SHIFT = 6;
// A neuron first pulls the neighbours within an eighth of the network: 32 of 256. A fixed 32
// would tie every neuron of a small palette to every other until learning is nearly over and
// leave a few averaged colours instead of the picture's own; at least 2, so that even a tiny
// network is first drawn into the picture's colours as a whole.
constexpr std::int32_t INITIAL_RADIUS = 32;
constexpr std::int32_t INITIAL_RADIUS_NEURONS = 256;
constexpr std::int32_t RADIUS_DECREASE = 30;
constexpr std::int64_t WEIGHT_ONE = 1 << 8;

constexpr std::int32_t LEARNING_CYCLES = 100;
constexpr std::int64_t PIXELS_PER_SAMPLING_STEP = 262144;
constexpr std::int64_t MAX_SAMPLING_FACTOR = 10;
// Steps through the picture; a prime that does not divide the pixel count visits every pixel.
constexpr std::array<std::int64_t, 4> SAMPLING_PRIMES{499, 491, 487, 503};

using sample = std::array<std::int32_t, CHANNELS>;

struct neuron {
    sample value;
    std::int64_t frequency;
    std::int64_t bias;
};

struct network {
    std::array<neuron, MAX_NEURONS> neurons;
    std::int32_t size;
    std::int64_t rate;
    std::int32_t radius;                                       // in 1 / 64 steps
    std::array<std::int64_t, INITIAL_RADIUS> neighbour_weight; // by distance in index
};

void network_start(network& net, std::int32_t size) {
    net.size = size;
    for (std::int32_t j = 0; j < size; ++j) {
        neuron& n = net.neurons[j];
        const std::uint8_t grey = gamma_encode(static_cast<std::uint8_t>(j * 256 / size));
        n.value = {grey << VALUE_SHIFT, grey << VALUE_SHIFT, grey << VALUE_SHIFT,
                   (j < 16 ? 16 * j : 255) << VALUE_SHIFT};
        n.frequency = FREQUENCY_ONE / size;
        n.bias = 0;
    }
    net.rate = RATE_ONE;
    net.radius = std::max(2, INITIAL_RADIUS * size / INITIAL_RADIUS_NEURONS) << RADIUS_SHIFT;
}

std::int32_t radius_in_neurons(const network& net) {
    const std::int32_t radius = net.radius >> RADIUS_SHIFT;
    return radius <= 1 ? 0 : radius;
}

void update_neighbour_weights(network& net) {
    const std::int64_t radius = radius_in_neurons(net);
    for (std::int64_t k = 0; k < radius; ++k) {
        net.neighbour_weight[k] =
            net.rate * ((radius * radius - k * k) * WEIGHT_ONE) / (radius * radius);
    }
}

// A fully transparent pixel's colour does not matter; it learns as black.
sample sample_at(const std::uint8_t* pixels, std::int32_t width, std::int32_t stride,
                 std::int64_t index) {
    const std::uint8_t* p = pixels + (index / width) * stride + (index % width) * CHANNELS;
    if (p[3] == 0) return {0, 0, 0, 0};
    return {gamma_encode(p[0]) << VALUE_SHIFT, gamma_encode(p[1]) << VALUE_SHIFT,
            gamma_encode(p[2]) << VALUE_SHIFT, p[3] << VALUE_SHIFT};
}

std::int64_t distance(const sample& a, const sample& b) {
    std::int64_t sum = 0;
    for (int c = 0; c < CHANNELS; ++c)
        sum += std::abs(a[c] - b[c]);
    return sum;
}

// Picks the neuron that learns from the sample: the nearest after the bias of neurons that win
// too often or too rarely. Updates every neuron's frequency and bias on the way.
std::int32_t contest(network& net, const sample& s) {
    std::int64_t best_distance = std::numeric_limits<std::int64_t>::max();
    std::int64_t best_biased_distance = best_distance;
    std::int32_t best = 0;
    std::int32_t best_biased = 0;
    for (std::int32_t i = 0; i < net.size; ++i) {
        neuron& n = net.neurons[i];
        const std::int64_t d = distance(n.value, s);
        if (d < best_distance) {
            best_distance = d;
            best = i;
        }
        const std::int64_t biased = d - (n.bias >> (FREQUENCY_SHIFT - VALUE_SHIFT));
        if (biased < best_biased_distance) {
            best_biased_distance = biased;
            best_biased = i;
        }
        const std::int64_t decay = n.frequency >> BETA_SHIFT;
        n.frequency -= decay;
        n.bias += decay << BIAS_GAIN_SHIFT;
    }
    net.neurons[best].frequency += WIN_FREQUENCY;
    net.neurons[best].bias -= WIN_BIAS;
    return best_biased;
}

void move_towards(sample& value, const sample& s, std::int64_t weight, std::int64_t weight_one) {
    for (int c = 0; c < CHANNELS; ++c) {
        value[c] -= static_cast<std::int32_t>(weight * (value[c] - s[c]) / weight_one);
    }
}

void learn_sample(network& net, const sample& s) {
    const std::int32_t winner = contest(net, s);
    move_towards(net.neurons[winner].value, s, net.rate, RATE_ONE);
    const std::int32_t radius = radius_in_neurons(net);
    for (std::int32_t k = 1; k < radius; ++k) {
        const std::int64_t weight = net.neighbour_weight[k];
        if (winner + k < net.size) {
            move_towards(net.neurons[winner + k].value, s, weight, RATE_ONE * WEIGHT_ONE);
        }
        if (winner - k >= 0) {
            move_towards(net.neurons[winner - k].value, s, weight, RATE_ONE * WEIGHT_ONE);
        }
    }
}

std::int64_t sampling_step(std::int64_t pixel_count) {
    for (std::int64_t prime : SAMPLING_PRIMES) {
        if (pixel_count % prime != 0) return prime;
    }
    return SAMPLING_PRIMES.back();
}

void learn(network& net, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
           std::int32_t stride) {
    const std::int64_t pixel_count = std::int64_t{width} * height;
    const std::int64_t factor =
        std::min(MAX_SAMPLING_FACTOR, 1 + pixel_count / PIXELS_PER_SAMPLING_STEP);
    const std::int64_t rate_decrease = 30 + (factor - 1) / 3;
    const std::int64_t samples = pixel_count / factor;
    const std::int64_t samples_per_cycle = std::max<std::int64_t>(1, samples / LEARNING_CYCLES);
    const std::int64_t step = sampling_step(pixel_count);
    update_neighbour_weights(net);
    std::int64_t position = 0;
    for (std::int64_t i = 1; i <= samples; ++i) {
        learn_sample(net, sample_at(pixels, width, stride, position));
        position = (position + step) % pixel_count;
        if (i % samples_per_cycle == 0) {
            net.rate -= net.rate / rate_decrease;
            net.radius -= net.radius / RADIUS_DECREASE;
            update_neighbour_weights(net);
        }
    }
}

std::uint8_t unbiased(std::int32_t value) {
    const std::int32_t rounded = (value + (1 << (VALUE_SHIFT - 1))) >> VALUE_SHIFT;
    return static_cast<std::uint8_t>(std::clamp(rounded, 0, 255));
}

} // namespace

void neuquant_learn(const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                    std::int32_t stride, std::int32_t depth, std::uint8_t* palette) {
    network net;
    network_start(net, 1 << depth);
    learn(net, pixels, width, height, stride);
    for (std::int32_t j = 0; j < net.size; ++j) {
        const sample& v = net.neurons[j].value;
        std::uint8_t* entry = palette + j * CHANNELS;
        for (int c = 0; c < 3; ++c)
            entry[c] = gamma_decode(unbiased(v[c]));
        entry[3] = unbiased(v[3]);
    }
}

} // namespace korvel
