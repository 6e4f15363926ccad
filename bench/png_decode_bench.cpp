// PNG decoding speed: frames of the benchmark's footage (1920 x 1080 RGB) and sprite (1280 x 720
// RGBA) sequences, as Korvel writes them and behind the adaptive row filter as other programs
// tend to, loaded from their files by the fast path against libpng alone, in the same run. Both
// must give the same pixels; the summary prints each pair's times and ratio, and whether the
// footage and sprite frames meet their targets (1.6x and 2.5x).
#include "bench/png_bench_setup.h"
#include "bench/ratio_reporter.h"
#include "bench/workload_folder.h"
#include "bench/workload_frames.h"
#include "image/codec.h"
#include "image/image.h"
#include "image/png_codec.h"
#include "runtime/utf.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace korvel {
namespace {

struct frame_file {
    const char* name;
    const char* preset;
    bool adaptive; // written behind the adaptive row filter instead of filter None
    double target; // the ratio the fast path must reach, or 0
};

const frame_file frame_files[] = {{"footage", "footage", false, 1.6},
                                  {"sprite", "sprite", false, 2.5},
                                  {"footage, adaptive filter", "footage", true, 0},
                                  {"sprite, adaptive filter", "sprite", true, 0}};

// Frames of the middle of each sequence, where the moving shape is well inside the picture.
constexpr std::int32_t frame_index = 40;

std::string path_of(const frame_file& f) {
    return png_bench_folder() + "/" + f.name + ".png";
}

// The frame painted into a 32-bit canvas (opaque where the preset has no alpha) and written
// behind the adaptive filter, as RGB where the preset has no alpha.
bool write_adaptive(const workload_preset& preset, const std::string& path) {
    const image_handle_t canvas = bitmap_create(preset.width, preset.height, 32);
    bitmap* b = bitmap_get(canvas);
    if (b == nullptr) return false;
    const std::int32_t stride = row_bytes(preset.width, preset.depth);
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(stride) * preset.height);
    workload_paint(preset, frame_index, rows.data(), stride);
    const std::int32_t size = preset.depth / 8;
    for (std::int32_t y = 0; y < preset.height; ++y)
        for (std::int32_t x = 0; x < preset.width; ++x) {
            std::uint8_t* out = b->pixels + static_cast<std::size_t>(y) * b->stride + 4 * x;
            std::memcpy(out, rows.data() + static_cast<std::size_t>(y) * stride + size * x, size);
            if (size == 3) out[3] = 255;
        }
    const png_frame_settings settings{png_frame_settings{}.level, png_row_filter::adaptive,
                                      preset.depth == 24};
    return png_encode_releasing(canvas, utf16_from_utf8(path).c_str(), settings) != 0;
}

bool write_frame(const frame_file& f) {
    const workload_preset* preset = workload_preset_find(f.preset);
    if (preset == nullptr) return false;
    return f.adaptive ? write_adaptive(*preset, path_of(f))
                      : workload_write_frame(*preset, frame_index, path_of(f));
}

std::string run_name(const char* method, const frame_file& f) {
    return std::string(method) + ": " + f.name;
}

void bm_decode(benchmark::State& state, const frame_file* f, bool libpng_alone) {
    const std::u16string path = utf16_from_utf8(path_of(*f));
    png_decode_through_libpng(libpng_alone);
    for (auto _ : state) {
        std::int32_t depth = 0;
        const image_handle_t frame = bitmap_load(path.c_str(), &depth);
        if (frame == 0) {
            state.SkipWithError("the frame did not load");
            break;
        }
        bitmap_delete(frame);
    }
    png_decode_through_libpng(false);
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(path_of(*f))));
}

// The frame's bitmap as read one way, depth first.
std::string pixels(const frame_file& f, bool libpng_alone) {
    png_decode_through_libpng(libpng_alone);
    std::int32_t depth = 0;
    const image_handle_t frame = bitmap_load(utf16_from_utf8(path_of(f)).c_str(), &depth);
    png_decode_through_libpng(false);
    const bitmap* b = bitmap_get(frame);
    std::string bytes;
    if (b != nullptr)
        bytes = std::to_string(b->depth) + ":" +
                std::string(reinterpret_cast<const char*>(b->pixels),
                            static_cast<std::size_t>(b->stride) * b->height);
    bitmap_delete(frame);
    return bytes;
}

void print_summary(const ratio_reporter& reporter) {
    std::vector<ratio_reporter::pair_row> rows;
    for (const frame_file& f : frame_files) {
        const std::string fast = pixels(f, false);
        rows.push_back({f.name, run_name("libpng", f), run_name("fast path", f),
                        !fast.empty() && fast == pixels(f, true)});
    }
    reporter.print_pairs("PNG frame decoded from its file", false, rows);
    for (const frame_file& f : frame_files) {
        const auto both = reporter.pair(run_name("libpng", f), run_name("fast path", f));
        if (f.target == 0 || !both) continue;
        const double ratio = both->first.cpu / both->second.cpu;
        std::printf("target %-10s %.1fx: %.2fx %s\n", f.name, f.target, ratio,
                    ratio >= f.target ? "PASS" : "FAIL");
    }
}

} // namespace
} // namespace korvel

int main(int argc, char** argv) {
    using namespace korvel;
    if (!png_bench_ready("png_decode_bench")) return 1;
    for (const frame_file& f : frame_files) {
        if (!write_frame(f)) {
            std::fprintf(stderr, "png_decode_bench: cannot write the %s frame\n", f.name);
            return 1;
        }
        for (const bool libpng_alone : {true, false})
            benchmark::RegisterBenchmark(run_name(libpng_alone ? "libpng" : "fast path", f).c_str(),
                                         bm_decode, &f, libpng_alone)
                ->Unit(benchmark::kMillisecond)
                ->MinTime(1.0);
    }
    const int status = run_benchmarks(argc, argv, print_summary);
    std::error_code ignored;
    std::filesystem::remove_all(png_bench_folder(), ignored);
    return status;
}
