// The PNG row kernels of every instruction set this processor runs against the filters' and
// layouts' plain definitions: each filter type at each pixel size, each conversion and the
// compositing over a background, on rows of every width to 40 pixels, random bytes, byte for byte,
// and nothing written past a row's end.
#include "image/png_row_kernels.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace korvel {
namespace {

using row_bytes_t = std::vector<std::uint8_t>;
constexpr std::size_t GUARD = 32; // bytes after each row: read slack, then untouched

int plain_guess(int type, int left, int above, int upper_left) {
    if (type == 1) return left;
    if (type == 2) return above;
    if (type == 3) return (left + above) / 2;
    const int p = left + above - upper_left;
    const int to_left = std::abs(p - left), to_above = std::abs(p - above),
              to_upper_left = std::abs(p - upper_left);
    if (to_left <= to_above && to_left <= to_upper_left) return left;
    return to_above <= to_upper_left ? above : upper_left;
}

void plain_unfilter(int type, int bpp, std::uint8_t* row, const std::uint8_t* prior,
                    std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const int left = i >= std::size_t(bpp) ? row[i - bpp] : 0;
        const int upper_left = i >= std::size_t(bpp) ? prior[i - bpp] : 0;
        row[i] = std::uint8_t(row[i] + plain_guess(type, left, prior[i], upper_left));
    }
}

row_bytes_t random_bytes(std::size_t size, std::mt19937& rng) {
    row_bytes_t bytes(size);
    for (std::uint8_t& b : bytes)
        b = std::uint8_t(rng());
    return bytes;
}

TEST(PngRowKernels, UnfilterEveryTypeAndPixelSizeAsDefined) {
    std::mt19937 rng(3);
    for (std::int32_t set = 0; set < png_row_kernels_count(); ++set)
        for (int type = 1; type <= 4; ++type)
            for (int bpp = 1; bpp <= 4; ++bpp)
                for (std::size_t width = 1; width <= 40; ++width) {
                    const std::size_t size = width * bpp;
                    const row_bytes_t prior = random_bytes(size + GUARD, rng);
                    row_bytes_t row = random_bytes(size + GUARD, rng), want = row;
                    plain_unfilter(type, bpp, want.data(), prior.data(), size);
                    png_row_kernels_at(set).unfilter[type - 1][bpp - 1](row.data(), prior.data(),
                                                                        size);
                    EXPECT_TRUE(row == want) << png_row_kernels_at(set).name << " type " << type
                                             << ", " << bpp << " bytes, " << width << " wide";
                }
}

// The plain conversions: bytes in the bitmap's order from each pixel's samples, and (kind 5) RGB
// samples from a pixel composited over the background, rounded to nearest.
std::string plain_pixel(int kind, const std::uint8_t* s, const std::uint8_t* palette,
                        std::uint32_t background) {
    const auto c = [](int v) { return char(v); };
    const auto over = [&](int i) {
        const int b = background >> (8 * i) & 0xFF;
        return char((s[i] * s[3] + b * (255 - s[3]) + 127) / 255);
    };
    switch (kind) {
    case 0:
        return {c(s[0]), c(s[0]), c(s[0])};
    case 1:
        return {c(s[2]), c(s[1]), c(s[0])};
    case 2:
        return {c(palette[4 * s[0]]), c(palette[4 * s[0] + 1]), c(palette[4 * s[0] + 2])};
    case 3:
        return {c(s[0]), c(s[0]), c(s[0]), c(s[1])};
    case 4:
        return {c(s[2]), c(s[1]), c(s[0]), c(s[3])};
    default:
        return {over(2), over(1), over(0)};
    }
}

TEST(PngRowKernels, ConvertEveryLayoutAsDefined) {
    std::mt19937 rng(5);
    const int sample_bytes[] = {1, 3, 1, 2, 4, 4}, pixel_bytes[] = {3, 3, 3, 4, 4, 3};
    const row_bytes_t palette = random_bytes(1024, rng);
    for (std::int32_t set = 0; set < png_row_kernels_count(); ++set) {
        const png_row_kernels& k = png_row_kernels_at(set);
        const png_convert_row converts[] = {k.grey_to_bgr, k.rgb_to_bgr, k.palette_to_bgr,
                                            k.grey_alpha_to_bgra, k.rgba_to_bgra};
        for (int kind = 0; kind < 6; ++kind)
            for (int width = 1; width <= 40; ++width) {
                row_bytes_t samples = random_bytes(width * sample_bytes[kind] + GUARD, rng);
                samples[3] = 0, samples[sample_bytes[kind] * width - 1] = 255; // clear, opaque
                const std::uint32_t background = rng() & 0xFFFFFF;
                row_bytes_t out = random_bytes(width * pixel_bytes[kind] + GUARD, rng);
                std::string want(out.begin(), out.end());
                for (int x = 0; x < width; ++x)
                    want.replace(x * pixel_bytes[kind], pixel_bytes[kind],
                                 plain_pixel(kind, &samples[x * sample_bytes[kind]], palette.data(),
                                             background));
                if (kind < 5)
                    converts[kind](samples.data(), width, palette.data(), out.data());
                else
                    k.bgra_over_to_rgb(samples.data(), width, background, out.data());
                EXPECT_EQ(std::string(out.begin(), out.end()), want)
                    << k.name << " layout " << kind << ", " << width << " wide";
            }
    }
}

} // namespace
} // namespace korvel
