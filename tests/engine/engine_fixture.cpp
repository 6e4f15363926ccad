// The engine tests' shared pieces.
#include "tests/engine/engine_fixture.h"

#include "engine/engine_runtime.h"
#include "engine/render_job.h"
#include "runtime/utf.h"

#include <gtest/gtest.h>
#include <oneapi/tbb/global_control.h>
#include <oneapi/tbb/task_arena.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>

namespace korvel::test {
namespace {

// No object with a destructor lives in the two functions below: libpng may longjmp out of them.
bool write_rows(png_structp png, png_infop info, std::FILE* file, const picture& p) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, static_cast<png_uint_32>(p.width), static_cast<png_uint_32>(p.height),
                 8, p.alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const std::size_t row = static_cast<std::size_t>(p.width) * (p.alpha ? 4 : 3);
    for (std::int32_t y = 0; y < p.height; ++y)
        png_write_row(png, p.samples.data() + row * static_cast<std::size_t>(y));
    png_write_end(png, nullptr);
    return true;
}

bool read_rows(png_structp png, png_infop info, std::FILE* file, picture* p) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_read_info(png, info);
    if (png_get_color_type(png, info) != PNG_COLOR_TYPE_RGB_ALPHA ||
        png_get_bit_depth(png, info) != 8 || png_get_interlace_type(png, info) != 0)
        return false;
    p->width = static_cast<std::int32_t>(png_get_image_width(png, info));
    p->height = static_cast<std::int32_t>(png_get_image_height(png, info));
    p->samples.resize(static_cast<std::size_t>(p->width) * 4 * p->height);
    for (std::int32_t y = 0; y < p->height; ++y)
        png_read_row(png, p->samples.data() + static_cast<std::size_t>(p->width) * 4 * y, nullptr);
    png_read_end(png, nullptr);
    return true;
}

std::vector<int> opacities(std::int64_t alpha_levels, std::int64_t layers, std::size_t count) {
    std::vector<int> result;
    float alpha = static_cast<float>(alpha_levels);
    const auto step =
        static_cast<float>(static_cast<double>(alpha_levels) / static_cast<double>(layers));
    for (std::size_t i = 0; i < count; ++i, alpha -= step)
        result.push_back(i == 0 ? 255 : static_cast<int>(std::lround(alpha)));
    return result;
}

// The over operator on one RGBA canvas pixel under colour s with effective alpha a.
void over(std::uint8_t* d, const std::uint8_t* s, int a) {
    if (a == 0) return;
    const int da = d[3];
    for (int c = 0; c < 3; ++c)
        d[c] = static_cast<std::uint8_t>(
            da == 0 ? s[c] : (s[c] * a * 255 + d[c] * (255 - a) * da) / ((255 - a) * da + a * 255));
    d[3] = static_cast<std::uint8_t>((a * 255 + (255 - a) * da) / 255);
}

void draw(picture& canvas, const picture& layer, int opacity) {
    const int channels = layer.alpha ? 4 : 3;
    for (std::int32_t y = 0; y < std::min(canvas.height, layer.height); ++y)
        for (std::int32_t x = 0; x < std::min(canvas.width, layer.width); ++x) {
            std::uint8_t* d = &canvas.samples[(static_cast<std::size_t>(y) * canvas.width + x) * 4];
            const std::uint8_t* s =
                &layer.samples[(static_cast<std::size_t>(y) * layer.width + x) * channels];
            if (layer.alpha)
                over(d, s, s[3] * opacity / 255);
            else if (opacity == 255)
                std::copy(s, s + 3, d);
            else
                over(d, s, opacity);
        }
}

} // namespace

picture test_picture(std::int32_t width, std::int32_t height, bool alpha, std::uint32_t seed) {
    picture p{width, height, alpha, {}};
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint32_t mix =
                (static_cast<std::uint32_t>(x * 73 + y * 151) ^ seed) * 2654435761u;
            p.samples.push_back(static_cast<std::uint8_t>(x * 7 + y * 3 + seed * 29));
            p.samples.push_back(static_cast<std::uint8_t>(x * 2 + y * 11 + seed * 53));
            p.samples.push_back(static_cast<std::uint8_t>(mix >> 24));
            if (!alpha) continue;
            const std::uint32_t band = (x / 16 + y / 16 + seed) % 4;
            const std::uint32_t values[] = {0, 255, (mix >> 16) & 255,
                                            128u + (static_cast<std::uint32_t>(x) & 127u)};
            p.samples.push_back(static_cast<std::uint8_t>(values[band]));
        }
    return p;
}

bool write_png(const std::string& path, const picture& p) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    const bool written = png && info && write_rows(png, info, file, p);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && written;
}

picture read_rgba_png(const std::string& path) {
    picture p;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return p;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!(png && info && read_rows(png, info, file, &p))) p = picture{};
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return p;
}

picture expected_frame(const std::vector<const picture*>& layers, std::int32_t width,
                       std::int32_t height, std::int64_t alpha_levels, std::int64_t ramp_layers) {
    picture canvas{width, height, true,
                   std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 4, 0)};
    const std::vector<int> opacity = opacities(alpha_levels, ramp_layers, layers.size());
    for (std::size_t i = 0; i < layers.size(); ++i)
        draw(canvas, *layers[i], std::clamp(opacity[i], 0, 255));
    return canvas;
}

scratch_dir::scratch_dir() {
    char pattern[] = "/tmp/korvel-engine-XXXXXX";
    if (mkdtemp(pattern) != nullptr) path_ = std::string(pattern) + "/";
    EXPECT_FALSE(path_.empty()) << "cannot create a folder under /tmp";
}

scratch_dir::~scratch_dir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::u16string scratch_dir::text() const {
    return utf16_from_utf8(path_);
}

std::vector<std::string> scratch_dir::names() const {
    std::vector<std::string> found;
    std::error_code ignored;
    for (const auto& item : std::filesystem::directory_iterator(path_, ignored))
        found.push_back(item.path().filename().string());
    std::sort(found.begin(), found.end());
    return found;
}

std::string input_name(int index) {
    char name[32];
    std::snprintf(name, sizeof name, "in%03d.png", index);
    return name;
}

std::vector<picture> write_inputs(const scratch_dir& folder, int count, std::int32_t width,
                                  std::int32_t height) {
    std::vector<picture> pictures;
    for (int i = 0; i < count; ++i) {
        pictures.push_back(
            test_picture(width, height, i % 3 != 1, static_cast<std::uint32_t>(i + 1)));
        EXPECT_TRUE(write_png(folder.path() + input_name(i), pictures.back()));
    }
    return pictures;
}

namespace {

// The handle the next bitmap will get: handles are handed out in increasing order.
image_handle_t newest_handle() {
    const image_handle_t probe = bitmap_create(1, 1, 24);
    bitmap_delete(probe);
    return probe;
}

} // namespace

bitmap_census::bitmap_census() : first_(newest_handle()) {}

std::int32_t bitmap_census::live() const {
    std::int32_t count = 0;
    for (image_handle_t h = first_ + 1, end = newest_handle(); h < end; ++h)
        count += object_type(h) != 0 ? 1 : 0;
    return count;
}

namespace {

test_host& of(void* host) {
    return *static_cast<test_host*>(host);
}

const render_host_ops test_ops = {
    [](void* host, render_totals* totals) -> std::int32_t {
        const test_host& h = of(host);
        *totals = {h.total.c_str(), h.width.c_str(), h.height.c_str()};
        return 1;
    },
    [](void*, std::int64_t, const char16_t*) {},
    [](void*) {},
    [](void*, std::int32_t* first, std::int32_t* last) {
        *first = 1;
        *last = std::numeric_limits<std::int32_t>::max();
    },
    [](void* host, std::int32_t at) {
        return utf16_from_utf8_at(utf8_from_utf16(of(host).input_folder.c_str()), at);
    },
    [](void* host, std::int32_t at) {
        return utf16_from_utf8_at(utf8_from_utf16(of(host).output_folder.c_str()), at);
    },
    [](void* host) { return of(host).layers; },
    [](void* host) { return of(host).alpha_levels; },
    [](void* host) -> std::int32_t { return of(host).reverse ? 1 : 0; },
    [](void* host) -> std::int32_t {
        test_host& h = of(host);
        ++h.cancel_checks;
        return h.cancel_at && h.cancel_at(h.cancel_checks) ? 1 : 0;
    },
    [](void*) -> std::int32_t { return 1; },
    [](void* host, const char16_t* title, const char16_t* text) {
        of(host).failures.emplace_back(title, text);
    },
    [](void* host, std::int32_t frame, std::int32_t, const char16_t*) {
        test_host& h = of(host);
        h.frames_saved.push_back(frame);
        if (h.after_frame_saved) h.after_frame_saved(frame);
    },
    [](void* host, std::int32_t completed) {
        test_host& h = of(host);
        ++h.job_ends;
        h.completed = completed;
        if (h.at_job_end) h.at_job_end();
    },
};

} // namespace

render_host test_host::host() {
    return {&test_ops, this};
}

test_host::test_host(const scratch_dir& input, const scratch_dir& output, int count,
                     std::int32_t frame_width, std::int32_t frame_height)
    : input_folder(input.text()), output_folder(output.text()),
      total(utf16_from_utf8(std::to_string(count))),
      width(utf16_from_utf8(std::to_string(frame_width))),
      height(utf16_from_utf8(std::to_string(frame_height))) {}

void test_host::run() {
    engine_runtime_start();
    const render_host runner = host();
    render_job_run(&runner);
    EXPECT_EQ(job_ends, 1);
}

void run_with_threads(test_host& host, int threads) {
    tbb::global_control limit(tbb::global_control::max_allowed_parallelism,
                              static_cast<std::size_t>(threads));
    tbb::task_arena arena(threads);
    arena.execute([&host] { host.run(); });
}

std::string frame_name(int frame, int total) {
    std::string number = std::to_string(frame);
    const std::size_t digits = std::to_string(total).size();
    if (number.size() < digits) number.insert(0, digits - number.size(), '0');
    return number + ".png";
}

} // namespace korvel::test
