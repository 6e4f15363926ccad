// Choosing the default compression level: the footage and sprite frames (the sprite ones both as
// RGBA and composited to RGB, as --format rgb writes them), and frames like a trail's output (the
// mean of 30 footage frames, of 100 sprite ones), compressed by libdeflate at levels 6 to 12
// against zlib at level 9 with libpng's other defaults, which is what frames were once written
// with. The image data of three frames of each is filtered (None) and compressed; the summary
// gives each level's size and time against zlib 9's and names the fastest level whose data is
// nowhere larger than zlib 9's.
#include "bench/ratio_reporter.h"
#include "bench/workload_frames.h"
#include "image/codec.h"
#include "image/png_codec.h"
#include "image/png_idat_stream.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <string>
#include <vector>

namespace korvel {
namespace {

constexpr int ZLIB_LEVEL = 9;
constexpr int FIRST_LEVEL = 6;
constexpr int LAST_LEVEL = 12;
constexpr std::int32_t frame_indices[] = {20, 60, 95};

struct workload {
    const char* name;
    const char* preset;
    bool rgb;              // composited over black to RGB, as --format rgb writes the frames
    std::int32_t averaged; // frames averaged into each one, as a trail of that length blurs them
};

const workload workloads[] = {{"footage", "footage", false, 1},
                              {"sprite", "sprite", false, 1},
                              {"sprite rgb", "sprite", true, 1},
                              {"footage trail", "footage", false, 30},
                              {"sprite trail rgb", "sprite", true, 100}};

// The mean of frames index to index + count - 1, rounded.
std::vector<std::uint8_t> mean_frame(const workload_preset& preset, std::int32_t index,
                                     std::int32_t count, std::int32_t stride) {
    const std::size_t size = static_cast<std::size_t>(stride) * preset.height;
    std::vector<std::uint32_t> sums(size);
    std::vector<std::uint8_t> frame(size);
    for (std::int32_t i = 0; i < count; ++i) {
        workload_paint(preset, index + i, frame.data(), stride);
        for (std::size_t b = 0; b < size; ++b)
            sums[b] += frame[b];
    }
    for (std::size_t b = 0; b < size; ++b)
        frame[b] = static_cast<std::uint8_t>((sums[b] + count / 2) / count);
    return frame;
}

struct frame_rows {
    std::vector<std::uint8_t> pixels;
    png_pixel_rows rows;
};

std::vector<frame_rows> frames_of(const workload& w) {
    const workload_preset* preset = workload_preset_find(w.preset);
    std::vector<frame_rows> frames;
    for (const std::int32_t index : frame_indices) {
        const std::int32_t stride = row_bytes(preset->width, preset->depth);
        frame_rows f{mean_frame(*preset, index, w.averaged, stride), {}};
        f.rows = {f.pixels.data(), preset->width,  preset->height,
                  stride,          ROWS_BOTTOM_UP, preset->depth / 8};
        frames.push_back(std::move(f));
    }
    return frames;
}

// The size of the zlib stream that libpng's defaults make of the filtered rows at level 9.
std::size_t zlib_size(const png_idat_stream& filtered) {
    z_stream z{};
    if (deflateInit2(&z, ZLIB_LEVEL, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return 0;
    std::vector<Bytef> out(deflateBound(&z, filtered.size));
    z.next_in = filtered.bytes;
    z.avail_in = static_cast<uInt>(filtered.size);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const bool done = deflate(&z, Z_FINISH) == Z_STREAM_END;
    deflateEnd(&z);
    return done ? z.total_out : 0;
}

// level 0 stands for zlib's level 9.
void bm_level(benchmark::State& state, const workload* w, int level) {
    const std::vector<frame_rows> frames = frames_of(*w);
    const png_frame_settings settings{level, png_row_filter::none, w->rgb};
    double bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const frame_rows& f : frames) {
            png_idat_stream filtered = png_idat_filter(f.rows, settings);
            if (level == 0) {
                bytes += static_cast<double>(zlib_size(filtered));
                png_idat_free(&filtered);
            } else {
                png_idat_stream stream = png_idat_deflate(&filtered, level);
                bytes += static_cast<double>(stream.size);
                png_idat_free(&stream);
            }
        }
    }
    state.counters["file_bytes"] = bytes;
}

std::string run_name(const workload& w, int level) {
    return (level == 0 ? std::string("zlib 9") : "libdeflate " + std::to_string(level)) + ": " +
           w.name;
}

void print_table(const ratio_reporter& reporter) {
    std::printf("\n%-7s", "level");
    for (const workload& w : workloads)
        std::printf(" %16s %6s", w.name, "time");
    std::printf("\n");
    int chosen = 0;
    for (int level = FIRST_LEVEL; level <= LAST_LEVEL; ++level) {
        bool no_larger = true;
        std::printf("%-7d", level);
        for (const workload& w : workloads) {
            const auto both = reporter.pair(run_name(w, 0), run_name(w, level));
            const double zlib = reporter.counter(run_name(w, 0), "file_bytes");
            const double own = reporter.counter(run_name(w, level), "file_bytes");
            if (!both || zlib <= 0) {
                no_larger = false;
                continue;
            }
            no_larger = no_larger && own <= zlib;
            std::printf(" %15.2f%% %5.2fx", 100.0 * own / zlib, both->second.cpu / both->first.cpu);
        }
        std::printf("\n");
        if (no_larger && chosen == 0) chosen = level;
    }
    std::printf("size: libdeflate's data / zlib 9's; time: libdeflate's CPU time / zlib 9's\n");
    std::printf("fastest level no larger than zlib 9 on every frame set: %d (default now %d)\n",
                chosen, png_frame_settings{}.level);
}

} // namespace
} // namespace korvel

int main(int argc, char** argv) {
    using namespace korvel;
    for (const workload& w : workloads)
        for (int level = 0; level <= LAST_LEVEL; level = level == 0 ? FIRST_LEVEL : level + 1)
            benchmark::RegisterBenchmark(run_name(w, level).c_str(), bm_level, &w, level)
                ->Unit(benchmark::kMillisecond)
                ->Iterations(2);
    return run_benchmarks(argc, argv, print_table);
}
