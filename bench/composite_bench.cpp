// Compositing speed: one 1920 x 1080 layer drawn with draw_image_alpha onto a canvas, against the
// plain one-pixel-at-a-time rendering of the same formula, for 32- and 24-bit layers, opacities
// 255 and 128, and a transparent or an opaque canvas. Each case first checks that both give the
// same bytes; the summary at the end prints plain time / library time for every case.
#include "bench/ratio_reporter.h"
#include "drawing/draw.h"
#include "image/bitmap.h"
#include "image/image.h"
#include "tests/drawing/plain_over.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace korvel {
namespace {

constexpr int width = 1920;
constexpr int height = 1080;
constexpr obj_number canvas = 0;
constexpr obj_number layer = 1;

struct rng32 {
    std::uint32_t state;
    std::uint8_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<std::uint8_t>(state >> 11);
    }
};

// Alpha of a sprite-like layer: an opaque disc with a soft rim, a band of noisy smoke, and
// nothing elsewhere.
std::uint8_t sprite_alpha(int x, int y, rng32& rng) {
    const double r = std::hypot(x - 700.0, y - 500.0);
    if (r < 330) return 255;
    if (r < 400) return static_cast<std::uint8_t>(255 * (400 - r) / 70);
    if (y >= 820 && y < 960) return rng.next();
    return 0;
}

// Bottom-up rows of the given depth: noisy colours; 32-bit pixels with the sprite's alphas.
std::vector<std::uint8_t> make_layer(int depth) {
    const int pitch = row_bytes(width, depth);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(pitch) * height);
    rng32 rng{12345};
    for (int row = 0; row < height; ++row)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &pixels[static_cast<std::size_t>(row) * pitch + x * (depth / 8)];
            p[0] = rng.next();
            p[1] = rng.next();
            p[2] = rng.next();
            if (depth == 32) p[3] = sprite_alpha(x, height - 1 - row, rng);
        }
    return pixels;
}

std::vector<std::uint8_t> make_canvas(bool opaque) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * 4 * height, 0);
    if (!opaque) return pixels;
    rng32 rng{777};
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        pixels[i] = rng.next();
        pixels[i + 1] = rng.next();
        pixels[i + 2] = rng.next();
        pixels[i + 3] = 255;
    }
    return pixels;
}

struct bench_case {
    int depth;
    int opacity;
    bool opaque_canvas;
    std::string name() const {
        return std::to_string(depth) + "-bit layer, opacity " + std::to_string(opacity) + ", " +
               (opaque_canvas ? "opaque" : "transparent") + " canvas";
    }
};

void plain_draw(const bench_case& c, const std::vector<std::uint8_t>& source,
                std::uint8_t* canvas_pixels) {
    const int pitch = row_bytes(width, c.depth);
    for (int row = 0; row < height; ++row) {
        std::uint8_t* d = canvas_pixels + static_cast<std::size_t>(row) * width * 4;
        const std::uint8_t* s = source.data() + static_cast<std::size_t>(row) * pitch;
        if (c.depth == 32)
            plain::over_row_bgra(d, s, width, c.opacity);
        else
            plain::draw_row_bgr(d, s, width, c.opacity);
    }
}

// The library's path: the layer and the canvas as numbered images in a drawing session.
struct library_scene {
    std::uint8_t* canvas_pixels = nullptr;
    bool ready = false;

    library_scene(const bench_case& c, const std::vector<std::uint8_t>& source) {
        images_init();
        if (image_create(canvas, width, height, 32 | IMAGE_TRANSPARENT) == 0 ||
            image_create(layer, width, height, static_cast<std::uint32_t>(c.depth)) == 0)
            return;
        std::memcpy(bitmap_get(image_handle(layer))->pixels, source.data(), source.size());
        canvas_pixels = bitmap_get(image_handle(canvas))->pixels;
        ready = draw_start(image_output(canvas)) != 0;
        draw_mode(0);
    }
    ~library_scene() {
        draw_stop();
        image_free(layer);
        image_free(canvas);
    }
    library_scene(const library_scene&) = delete;
    library_scene& operator=(const library_scene&) = delete;

    void draw(int opacity) const { draw_image_alpha(image_handle(layer), 0, 0, opacity); }
};

// Both renderings once from the same canvas: they must agree on every byte.
bool same_bytes(const bench_case& c, const std::vector<std::uint8_t>& source,
                const std::vector<std::uint8_t>& start) {
    std::vector<std::uint8_t> plain_result = start;
    plain_draw(c, source, plain_result.data());
    library_scene scene(c, source);
    if (!scene.ready) return false;
    std::memcpy(scene.canvas_pixels, start.data(), start.size());
    scene.draw(c.opacity);
    return std::memcmp(scene.canvas_pixels, plain_result.data(), start.size()) == 0;
}

std::map<std::string, bool> identical;

void bm_plain(benchmark::State& state, bench_case c) {
    const auto source = make_layer(c.depth);
    const auto start = make_canvas(c.opaque_canvas);
    std::vector<std::uint8_t> target = start;
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(target.data(), start.data(), start.size());
        state.ResumeTiming();
        plain_draw(c, source, target.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * width * height);
}

void bm_library(benchmark::State& state, bench_case c) {
    const auto source = make_layer(c.depth);
    const auto start = make_canvas(c.opaque_canvas);
    identical[c.name()] = same_bytes(c, source, start);
    if (!identical[c.name()]) {
        state.SkipWithError("library and plain rendering differ");
        return;
    }
    library_scene scene(c, source);
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(scene.canvas_pixels, start.data(), start.size());
        state.ResumeTiming();
        scene.draw(c.opacity);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * width * height);
}

const bench_case cases[] = {
    {32, 255, false}, {32, 255, true}, {32, 128, false}, {32, 128, true},
    {24, 255, false}, {24, 255, true}, {24, 128, false}, {24, 128, true},
};

// CPU time is what the ratio uses: on a shared machine the wall clock also counts other programs.
void print_summary(const ratio_reporter& reporter) {
    std::vector<ratio_reporter::pair_row> rows;
    for (const bench_case& c : cases)
        rows.push_back(
            {c.name(), "plain: " + c.name(), "library: " + c.name(), identical[c.name()]});
    reporter.print_pairs("case (CPU time per drawing)", false, rows);
}

} // namespace
} // namespace korvel

int main(int argc, char** argv) {
    using namespace korvel;
    for (const bench_case& c : cases) {
        benchmark::RegisterBenchmark(("plain: " + c.name()).c_str(), bm_plain, c)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("library: " + c.name()).c_str(), bm_library, c)
            ->Unit(benchmark::kMillisecond);
    }
    return run_benchmarks(argc, argv, print_summary);
}
