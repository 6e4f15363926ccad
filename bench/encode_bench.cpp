// Encoding speed and size: one 1920 x 1080 output frame saved as PNG through image_save (image
// data compressed by libdeflate at level 12) against libpng writing the same rows itself with
// zlib at level 9 and filter None, for a frame composited from plain RGB inputs and one from
// sprite-like RGBA inputs. Both files of each frame are decoded again and must hold the same
// pixels; the summary prints time, size and the ratios for each frame. Then the row filters that
// frames may be written with: the filtering step's time and the level-12 file's size against
// filter None's, each file decoded to the same pixels as the first libdeflate one.
#include "bench/encode_workloads.h"
#include "bench/png_bench_setup.h"
#include "image/codec.h"
#include "image/image.h"
#include "image/png_codec.h"
#include "image/png_idat_stream.h"
#include "runtime/utf.h"

#include <benchmark/benchmark.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace korvel {
namespace {

constexpr int width = 1920;
constexpr int height = 1080;
constexpr obj_number frame_image = 0;

struct workload {
    const char* name;
    std::vector<std::uint8_t> (*make)(int width, int height);
};

const workload workloads[] = {
    {"from RGB inputs", bench::frame_from_rgb_inputs},
    {"from RGBA inputs", bench::frame_from_rgba_inputs},
};

struct row_filter {
    const char* name;
    png_row_filter filter;
};

// None first: the reference the others are measured against.
const row_filter row_filters[] = {{"none", png_row_filter::none},
                                  {"sub", png_row_filter::sub},
                                  {"up", png_row_filter::up},
                                  {"paeth", png_row_filter::paeth},
                                  {"adaptive", png_row_filter::adaptive}};

std::string output_path(const std::string& method, const workload& w) {
    return png_bench_folder() + "/" + method + " " + w.name + ".png";
}

// The encoder as it was: libpng turns the rows to RGBA order and compresses them with zlib. No
// object with a destructor lives in this frame, which libpng's errors jump out of.
bool write_with_zlib_level_9(const char* path, const std::uint8_t* bottom_up_bgra) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_bgr(png);
    png_write_info(png, info);
    for (int y = height - 1; y >= 0; --y)
        png_write_row(png, bottom_up_bgra + static_cast<std::size_t>(y) * width * 4);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

// The frame as image 0, the way the render job holds its canvas.
bool make_frame_image(const std::vector<std::uint8_t>& pixels) {
    if (image_create(frame_image, width, height, 32 | IMAGE_TRANSPARENT) == 0) return false;
    std::memcpy(bitmap_get(image_handle(frame_image))->pixels, pixels.data(), pixels.size());
    return true;
}

void count_file(benchmark::State& state, const std::string& path) {
    state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(path));
    state.SetBytesProcessed(state.iterations() * width * height * 4);
}

void bm_zlib_level_9(benchmark::State& state, const workload* w) {
    const std::vector<std::uint8_t> pixels = w->make(width, height);
    const std::string path = output_path("zlib-9", *w);
    for (auto _ : state) {
        if (!write_with_zlib_level_9(path.c_str(), pixels.data())) {
            state.SkipWithError("libpng could not write the file");
            break;
        }
    }
    if (!state.error_occurred()) count_file(state, path);
}

void bm_libdeflate_level_12(benchmark::State& state, const workload* w) {
    if (!make_frame_image(w->make(width, height))) {
        state.SkipWithError("no memory for the frame");
        return;
    }
    const std::string path = output_path("libdeflate-12", *w);
    const std::u16string path16 = utf16_from_utf8(path);
    for (auto _ : state) {
        if (image_save(frame_image, path16.c_str(), ENCODER_PNG, 32) == 0) {
            state.SkipWithError("image_save failed");
            break;
        }
    }
    image_free(frame_image);
    if (!state.error_occurred()) count_file(state, path);
}

std::string filter_method(const row_filter& f) {
    return std::string("filter ") + f.name;
}

// Only the filtering is timed, since the compressor's time hardly depends on it; the frame is
// then written once at level 12 for its size.
void bm_filter(benchmark::State& state, const workload* w, const row_filter* f) {
    const std::vector<std::uint8_t> pixels = w->make(width, height);
    const png_frame_settings settings{12, f->filter};
    for (auto _ : state) {
        png_idat_stream rows =
            png_idat_filter({pixels.data(), width, height, width * 4, ROWS_BOTTOM_UP, 4}, settings);
        benchmark::DoNotOptimize(rows.bytes);
        png_idat_free(&rows);
    }
    const image_handle_t frame = bitmap_create(width, height, 32);
    std::memcpy(bitmap_get(frame)->pixels, pixels.data(), pixels.size());
    const std::string path = output_path(filter_method(*f), *w);
    if (png_encode_releasing(frame, utf16_from_utf8(path).c_str(), settings) == 0)
        state.SkipWithError("the frame could not be written");
    else
        count_file(state, path);
}

// Both files decoded by the project's PNG decoder: the same pixels, byte for byte.
bool same_pixels(const std::string& path_a, const std::string& path_b) {
    std::int32_t depth = 0;
    const image_handle_t a = bitmap_load(utf16_from_utf8(path_a).c_str(), &depth);
    const image_handle_t b = bitmap_load(utf16_from_utf8(path_b).c_str(), &depth);
    const bitmap* left = bitmap_get(a);
    const bitmap* right = bitmap_get(b);
    const bool same = left != nullptr && right != nullptr && left->depth == right->depth &&
                      std::memcmp(left->pixels, right->pixels,
                                  static_cast<std::size_t>(left->stride) * height) == 0;
    bitmap_delete(a);
    bitmap_delete(b);
    return same;
}

// Keeps each run's seconds per iteration and file size so that the summary can pair the two
// methods. CPU time is what the ratio uses: on a shared machine the wall clock also counts other
// programs.
class encode_reporter : public benchmark::ConsoleReporter {
public:
    struct figures {
        double cpu_seconds;
        double wall_seconds;
        double file_bytes;
    };
    std::map<std::string, figures> runs;

    void ReportRuns(const std::vector<Run>& reported) override {
        for (const Run& run : reported) {
            const auto bytes = run.counters.find("file_bytes");
            if (run.error_occurred || run.iterations == 0 || bytes == run.counters.end()) continue;
            const auto iterations = static_cast<double>(run.iterations);
            runs[run.run_name.function_name] = {run.cpu_accumulated_time / iterations,
                                                run.real_accumulated_time / iterations,
                                                bytes->second.value};
        }
        ConsoleReporter::ReportRuns(reported);
    }
};

std::string run_name(const std::string& method, const workload& w) {
    return method + ": " + w.name;
}

void print_summary(const encode_reporter& reporter) {
    std::printf("\n1920 x 1080 RGBA frame  %10s %10s %7s %7s %11s %11s %6s  %s\n", "zlib-9 ms",
                "ldefl-12 ms", "speed", "wall", "zlib-9 B", "ldefl-12 B", "size", "pixels");
    for (const workload& w : workloads) {
        const auto old_run = reporter.runs.find(run_name("zlib level 9", w));
        const auto new_run = reporter.runs.find(run_name("libdeflate level 12", w));
        if (old_run == reporter.runs.end() || new_run == reporter.runs.end()) continue;
        const encode_reporter::figures& o = old_run->second;
        const encode_reporter::figures& n = new_run->second;
        std::printf("%-22s %10.0f %11.0f %6.2fx %6.2fx %11.0f %11.0f %5.1f%%  %s\n", w.name,
                    o.cpu_seconds * 1e3, n.cpu_seconds * 1e3, o.cpu_seconds / n.cpu_seconds,
                    o.wall_seconds / n.wall_seconds, o.file_bytes, n.file_bytes,
                    100.0 * n.file_bytes / o.file_bytes,
                    same_pixels(output_path("zlib-9", w), output_path("libdeflate-12", w))
                        ? "identical"
                        : "DIFFERENT");
    }
    std::printf(
        "speed: zlib-9 time / libdeflate-12 time (CPU; wall beside it); size: libdeflate-12 "
        "file / zlib-9 file\n");
}

void print_filter_summary(const encode_reporter& reporter) {
    std::printf("\n%-26s %9s %7s %11s %6s  %s\n", "row filters, level 12", "filter ms", "time",
                "file B", "size", "pixels");
    for (const workload& w : workloads) {
        const auto none = reporter.runs.find(run_name(filter_method(row_filters[0]), w));
        for (const row_filter& f : row_filters) {
            const auto run = reporter.runs.find(run_name(filter_method(f), w));
            if (none == reporter.runs.end() || run == reporter.runs.end()) continue;
            const encode_reporter::figures& n = none->second;
            const encode_reporter::figures& r = run->second;
            std::printf(
                "%-17s %-8s %9.1f %6.2fx %11.0f %5.1f%%  %s\n", w.name, f.name, r.cpu_seconds * 1e3,
                r.cpu_seconds / n.cpu_seconds, r.file_bytes, 100.0 * r.file_bytes / n.file_bytes,
                same_pixels(output_path(filter_method(f), w), output_path("libdeflate-12", w))
                    ? "identical"
                    : "DIFFERENT");
        }
    }
    std::printf("time: filtering time / filter None's (CPU); size: file / filter None's file\n");
}

} // namespace
} // namespace korvel

int main(int argc, char** argv) {
    using namespace korvel;
    if (!png_bench_ready("encode_bench")) return 1;
    for (const workload& w : workloads) {
        benchmark::RegisterBenchmark(run_name("zlib level 9", w).c_str(), bm_zlib_level_9, &w)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
        benchmark::RegisterBenchmark(run_name("libdeflate level 12", w).c_str(),
                                     bm_libdeflate_level_12, &w)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
        for (const row_filter& f : row_filters) {
            benchmark::RegisterBenchmark(run_name(filter_method(f), w).c_str(), bm_filter, &w, &f)
                ->Unit(benchmark::kMillisecond)
                ->Iterations(10);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    encode_reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    print_summary(reporter);
    print_filter_summary(reporter);
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(png_bench_folder(), ignored);
    return 0;
}
