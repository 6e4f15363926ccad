// Loading a frame's layers: 50 RGBA layers of 1280 x 720 (a moving opaque disc with a soft rim
// and a band of noise on a transparent background) loaded one after the other with image_load,
// against the same layers taken from the read-ahead cache, which decodes them on every core the
// parallelism library allows. Both must give the same pixels; the summary prints the wall time of
// each and their ratio.
#include "bench/ratio_reporter.h"
#include "engine/decode_cache.h"
#include "engine/engine_limits.h"
#include "engine/frame_blender.h"
#include "engine/frame_file.h"
#include "engine/stride_plan.h"
#include "image/codec.h"
#include "image/image.h"
#include "image/png_codec.h"
#include "runtime/strings.h"
#include "runtime/utf.h"

#include <benchmark/benchmark.h>
#include <oneapi/tbb/parallel_for.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace korvel {
namespace {

constexpr int width = 1280;
constexpr int height = 720;
constexpr int layer_count = 50;
constexpr obj_number layer_slot = 3;

std::uint8_t noise(std::uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<std::uint8_t>(state >> 11);
}

// Bottom-up BGRA rows of layer index.
void paint_layer(bitmap* layer, int index) {
    std::uint32_t state = 2463534242u + static_cast<std::uint32_t>(index);
    const double cx = 200.0 + index * 17.0;
    for (int row = 0; row < height; ++row) {
        const int y = height - 1 - row;
        std::uint8_t* p = layer->pixels + static_cast<std::size_t>(row) * layer->stride;
        for (int x = 0; x < width; ++x, p += 4) {
            const double r = std::hypot(x - cx, y - 360.0);
            const bool smoke = y >= 600 && y < 660;
            const double alpha = r < 150 ? 255 : r < 190 ? 255 * (190 - r) / 40 : 0;
            p[0] = static_cast<std::uint8_t>(x + index);
            p[1] = static_cast<std::uint8_t>(y * 2);
            p[2] = smoke ? noise(state) : static_cast<std::uint8_t>(200 - index);
            p[3] = smoke ? noise(state) : static_cast<std::uint8_t>(alpha);
        }
    }
}

// The layers as PNG files in a folder of their own, written once per run (on every core).
class layer_folder {
public:
    layer_folder() {
        char pattern[] = "/tmp/korvel-decode-bench-XXXXXX";
        if (mkdtemp(pattern) == nullptr) return;
        folder_ = std::string(pattern) + "/";
        for (int i = 0; i < layer_count; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "layer%03d.png", i);
            paths_.push_back(utf16_from_utf8(folder_ + name));
        }
        std::atomic<int> written{0};
        tbb::parallel_for(0, layer_count, [&](int i) {
            const image_handle_t layer = bitmap_create(width, height, 32);
            if (bitmap* pixels = bitmap_get(layer)) paint_layer(pixels, i);
            written += frame_part_write(layer, paths_[static_cast<std::size_t>(i)].c_str());
        });
        ready_ = written == layer_count;
    }
    ~layer_folder() {
        std::error_code ignored;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    }
    layer_folder(const layer_folder&) = delete;
    layer_folder& operator=(const layer_folder&) = delete;

    bool ready() const { return ready_; }
    const std::vector<std::u16string>& paths() const { return paths_; }

private:
    std::string folder_;
    std::vector<std::u16string> paths_;
    bool ready_ = false;
};

const layer_folder& layers() {
    static const layer_folder folder;
    return folder;
}

std::uint64_t fingerprint(obj_number n) {
    const bitmap* b = bitmap_get(image_handle(n));
    std::uint64_t hash = 1469598103934665603ull;
    for (std::size_t i = 0; b && i < static_cast<std::size_t>(b->stride) * b->height; ++i)
        hash = (hash ^ b->pixels[i]) * 1099511628211ull;
    return hash;
}

// Each layer into the layer slot, by image_load; then calls seen(index).
template <typename Seen>
void load_in_turn(Seen seen) {
    for (std::size_t i = 0; i < layers().paths().size(); ++i) {
        image_load(layer_slot, layers().paths()[i].c_str());
        seen(i);
        image_free(layer_slot);
    }
}

// The same through the cache, as the render job takes its layers: the bitmap decoded ahead when
// there is one, else the file loaded then. Returns the cache's hits.
template <typename Seen>
std::int64_t take_ahead(Seen seen) {
    decode_cache cache(engine_shape_for(width, height).read_ahead);
    const auto paths = std::make_shared<name_list>(layers().paths());
    const auto count = static_cast<std::int64_t>(paths->size());
    std::vector<std::int32_t> opacities(paths->size(), 255);
    cache.plan(coming_loads(
        u"", paths,
        work_cursor(std::make_shared<stride_plan>(stride_shape{0, count, count, false, 1, 1, false},
                                                  opacities, stack_blend))));
    for (std::size_t i = 0; i < layers().paths().size(); ++i) {
        const std::u16string& path = layers().paths()[i];
        std::int32_t depth = 0;
        const image_handle_t ahead = cache.take(path, &depth);
        if (!(ahead && image_adopt(layer_slot, ahead, depth))) image_load(layer_slot, path.c_str());
        seen(i);
        image_free(layer_slot);
    }
    return cache.counters().hits;
}

bool same_pixels_both_ways() {
    std::vector<std::uint64_t> loaded(layer_count);
    load_in_turn([&](std::size_t i) { loaded[i] = fingerprint(layer_slot); });
    bool same = true;
    take_ahead([&](std::size_t i) { same = same && loaded[i] == fingerprint(layer_slot); });
    return same;
}

bool identical = false;
std::int64_t hits_per_pass = 0;

void bm_sequential(benchmark::State& state) {
    if (!layers().ready()) return state.SkipWithError("cannot write the layers");
    for (auto _ : state)
        load_in_turn([](std::size_t) {});
    state.SetItemsProcessed(state.iterations() * layer_count);
}

void bm_read_ahead(benchmark::State& state) {
    if (!layers().ready()) return state.SkipWithError("cannot write the layers");
    identical = same_pixels_both_ways();
    if (!identical) return state.SkipWithError("the cache and image_load give different pixels");
    for (auto _ : state)
        hits_per_pass = take_ahead([](std::size_t) {});
    state.SetItemsProcessed(state.iterations() * layer_count);
}

// Wall time per pass: the cache's work is spread over threads, so CPU time of the calling thread
// alone would flatter it.
void print_summary(const ratio_reporter& reporter) {
    const auto both = reporter.pair("image_load in turn", "read-ahead cache");
    if (!both) return;
    const auto& [plain, ahead] = *both;
    std::printf("\n%d layers of %d x %d, %d threads: image_load in turn %.0f ms, read-ahead cache "
                "%.0f ms (%lld of %d decoded ahead): %.2fx, pixels %s\n",
                layer_count, width, height, engine_shape_for(width, height).threads,
                plain.wall * 1e3, ahead.wall * 1e3, static_cast<long long>(hits_per_pass),
                layer_count, plain.wall / ahead.wall, identical ? "identical" : "DIFFERENT");
}

} // namespace
} // namespace korvel

int main(int argc, char** argv) {
    using namespace korvel;
    strings_init();
    codecs_init();
    images_init();
    png_decoder_register();
    png_encoder_register();
    benchmark::RegisterBenchmark("image_load in turn", bm_sequential)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(2.0);
    benchmark::RegisterBenchmark("read-ahead cache", bm_read_ahead)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(2.0);
    return run_benchmarks(argc, argv, print_summary);
}
