// Weighted-mean speed: one 1920 x 1080 layer summed into the running sums of a weighted mean, for
// 32- and 24-bit layers, with equal weights (32-bit sums) in stored colours and in linear light,
// against a plain one-pixel-at-a-time loop of the same sums. Each case first checks that both
// give the same mean; the summary at the end prints plain time / library time for every case.
#include "bench/ratio_reporter.h"
#include "engine/weighted_mean.h"

#include <benchmark/benchmark.h>
#include <oneapi/tbb/task_arena.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace korvel {
namespace {

constexpr int width = 1920;
constexpr int height = 1080;
constexpr int window_layers = 8; // the bound the sums are sized for

struct rng32 {
    std::uint32_t state;
    std::uint8_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<std::uint8_t>(state >> 11);
    }
};

// Noisy colours; 32-bit pixels opaque, transparent or in between in equal shares.
std::vector<std::uint8_t> make_layer(int depth) {
    const int pitch = row_bytes(width, depth);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(pitch) * height);
    rng32 rng{4242};
    for (int row = 0; row < height; ++row)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &pixels[static_cast<std::size_t>(row) * pitch + x * (depth / 8)];
            for (int c = 0; c < 3; ++c)
                p[c] = rng.next();
            if (depth == 32) p[3] = std::array<std::uint8_t, 3>{0, 255, rng.next()}[x % 3];
        }
    return pixels;
}

struct bench_case {
    int depth;
    bool linear;
    int threads;
    std::string plain_name() const {
        return std::to_string(depth) + "-bit layer, " +
               (linear ? "linear light" : "stored colours");
    }
    std::string name() const {
        return plain_name() + ", " + std::to_string(threads) + " thread(s)";
    }
};

std::vector<std::uint32_t> plain_linear_table() {
    std::vector<std::uint32_t> table(256);
    for (int c = 0; c < 256; ++c) {
        const double v = c / 255.0;
        table[c] = static_cast<std::uint32_t>(
            std::lround(65535 * (v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4))));
    }
    return table;
}

// The sums the plain way: blue, green, red, alpha per pixel, one pixel at a time.
void plain_add(const bench_case& c, const std::vector<std::uint8_t>& layer,
               const std::vector<std::uint32_t>& light, std::vector<std::uint32_t>& sums) {
    const int pitch = row_bytes(width, c.depth);
    const int bytes = c.depth / 8;
    for (int row = 0; row < height; ++row)
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = &layer[static_cast<std::size_t>(row) * pitch + x * bytes];
            std::uint32_t* sum = &sums[(static_cast<std::size_t>(row) * width + x) * 4];
            const std::uint32_t alpha = bytes == 4 ? p[3] : 255;
            for (int ch = 0; ch < 3; ++ch)
                sum[ch] += alpha * (c.linear ? light[p[ch]] : p[ch]);
            sum[3] += alpha;
        }
}

// The plain mean of one layer of weight 1, as canvas bytes.
std::vector<std::uint8_t> plain_mean(const bench_case& c, const std::vector<std::uint32_t>& sums) {
    std::vector<std::uint8_t> canvas(sums.size());
    for (std::size_t i = 0; i < sums.size(); i += 4) {
        const std::uint32_t d = sums[i + 3];
        for (int ch = 0; ch < 3; ++ch) {
            const std::uint32_t mean = d == 0 ? 0 : (sums[i + ch] + d / 2) / d;
            const double v = mean / 65535.0;
            canvas[i + ch] = static_cast<std::uint8_t>(
                c.linear
                    ? std::lround(
                          255 * (v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055))
                    : mean);
        }
        canvas[i + 3] = static_cast<std::uint8_t>(d);
    }
    return canvas;
}

bool same_bytes(const bench_case& c, const std::vector<std::uint8_t>& layer) {
    std::vector<std::uint32_t> sums(static_cast<std::size_t>(width) * height * 4);
    plain_add(c, layer, plain_linear_table(), sums);
    weighted_mean mean(width, height, 1, window_layers, c.linear, c.threads);
    std::vector<std::uint8_t> layer_copy = layer, canvas(sums.size());
    const bitmap source{OBJ_BITMAP,        width,  height, c.depth, row_bytes(width, c.depth),
                        layer_copy.data(), nullptr};
    bitmap target{OBJ_BITMAP, width, height, 32, width * 4, canvas.data(), nullptr};
    if (!mean.ready() || mean.wide() || !mean.add(source, 1)) return false;
    mean.write(target);
    return canvas == plain_mean(c, sums);
}

std::map<std::string, bool> identical;

void bm_plain(benchmark::State& state, bench_case c) {
    const auto layer = make_layer(c.depth);
    const auto light = plain_linear_table();
    std::vector<std::uint32_t> sums(static_cast<std::size_t>(width) * height * 4);
    for (auto _ : state) {
        state.PauseTiming();
        std::fill(sums.begin(), sums.end(), 0);
        state.ResumeTiming();
        plain_add(c, layer, light, sums);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * width * height);
}

void bm_library(benchmark::State& state, bench_case c) {
    std::vector<std::uint8_t> layer = make_layer(c.depth);
    identical[c.name()] = same_bytes(c, layer);
    if (!identical[c.name()]) {
        state.SkipWithError("library and plain sums differ");
        return;
    }
    const bitmap source{OBJ_BITMAP,   width,  height, c.depth, row_bytes(width, c.depth),
                        layer.data(), nullptr};
    tbb::task_arena arena(c.threads);
    arena.execute([&] {
        weighted_mean mean(width, height, 1, window_layers, c.linear, c.threads);
        for (auto _ : state) {
            state.PauseTiming();
            mean.clear();
            state.ResumeTiming();
            mean.add(source, 1);
            benchmark::ClobberMemory();
        }
    });
    state.SetItemsProcessed(state.iterations() * width * height);
}

const bench_case cases[] = {
    {32, false, 1}, {24, false, 1}, {32, true, 1}, {24, true, 1},
    {32, false, 2}, {24, false, 2}, {32, true, 2}, {24, true, 2},
};

// With threads the wall clock is the one that shows the split.
void print_summary(const ratio_reporter& reporter) {
    std::vector<ratio_reporter::pair_row> rows;
    for (const bench_case& c : cases)
        rows.push_back(
            {c.name(), "plain: " + c.plain_name(), "library: " + c.name(), identical[c.name()]});
    reporter.print_pairs("case (time per layer)", true, rows);
}

} // namespace
} // namespace korvel

int main(int argc, char** argv) {
    using namespace korvel;
    for (const bench_case& c : cases) {
        if (c.threads == 1)
            benchmark::RegisterBenchmark(("plain: " + c.plain_name()).c_str(), bm_plain, c)
                ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("library: " + c.name()).c_str(), bm_library, c)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    return run_benchmarks(argc, argv, print_summary);
}
