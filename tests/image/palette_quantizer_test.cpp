// The palette quantizer: exact palettes for pictures that fit, learnt palettes that follow the
// picture, indices within range and packed as PNG and BMP expect, transparent pixels, dithering
// that keeps a flat area's mean colour and follows the writer's row order, and repeatable
// results.
#include "image/codec.h"
#include "image/palette_dither.h"
#include "image/palette_quantizer.h"
#include "image/palette_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace korvel::test {
namespace {

using bgra = std::array<std::uint8_t, 4>;

// Pixels in memory: height rows of stride bytes, 3 or 4 bytes a pixel, rows padded to 4 bytes.
struct pixel_block {
    std::int32_t width;
    std::int32_t height;
    std::int32_t bits_per_pixel;
    std::int32_t stride;
    std::vector<std::uint8_t> bytes;

    std::uint8_t* at(std::int32_t x, std::int32_t memory_row) {
        return &bytes[static_cast<std::size_t>(memory_row) * stride + x * (bits_per_pixel / 8)];
    }
};

pixel_block make_block(std::int32_t width, std::int32_t height, std::int32_t bits_per_pixel,
                       const std::function<bgra(std::int32_t, std::int32_t)>& rule) {
    const std::int32_t stride = (width * bits_per_pixel / 8 + 3) / 4 * 4;
    pixel_block block{width, height, bits_per_pixel, stride,
                      std::vector<std::uint8_t>(static_cast<std::size_t>(stride) * height, 0xEE)};
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const bgra value = rule(x, y);
            std::copy(value.begin(), value.begin() + bits_per_pixel / 8, block.at(x, y));
        }
    }
    return block;
}

struct quantizer_deleter {
    void operator()(palette_quantizer* q) const { quantizer_free(q); }
};
using quantizer_ptr = std::unique_ptr<palette_quantizer, quantizer_deleter>;

quantizer_ptr quantize(pixel_block& block, std::int32_t depth, std::uint32_t flags) {
    return quantizer_ptr(quantizer_create(block.bytes.data(), block.width, block.height,
                                          block.bits_per_pixel, block.stride, depth, flags));
}

// Unpacks one row as PNG and BMP store it: most significant bits first at 1, 2 and 4 bits.
std::vector<int> unpack(const std::uint8_t* row, std::int32_t width, std::int32_t depth) {
    std::vector<int> indices;
    const bool packed = depth < 8 && 8 % depth == 0;
    for (std::int32_t x = 0; x < width; ++x) {
        if (!packed) {
            indices.push_back(row[x]);
            continue;
        }
        const std::int32_t bit = x * depth;
        indices.push_back(row[bit / 8] >> (8 - depth - bit % 8) & ((1 << depth) - 1));
    }
    return indices;
}

// Every row's indices, asked for from the last memory row down, as the PNG writer does.
std::vector<std::vector<int>> rows_downwards(palette_quantizer* q, const pixel_block& block,
                                             std::int32_t depth) {
    std::vector<std::vector<int>> rows(block.height);
    for (std::int32_t m = block.height - 1; m >= 0; --m) {
        rows[m] = unpack(quantizer_row(q, m), block.width, depth);
    }
    return rows;
}

bgra entry(const palette_quantizer* q, int index) {
    const std::uint8_t* e = quantizer_palette(q) + 4 * index;
    return {e[0], e[1], e[2], e[3]};
}

bgra noisy_colour(std::int32_t x, std::int32_t y) {
    const std::uint32_t v = (x * 2654435761u) ^ (y * 2246822519u) ^ (x * y * 374761393u);
    return {static_cast<std::uint8_t>(v >> 3), static_cast<std::uint8_t>(v >> 11),
            static_cast<std::uint8_t>(v >> 19), static_cast<std::uint8_t>(v >> 27 << 3)};
}

struct exact_case {
    std::int32_t depth;
    std::int32_t bits_per_pixel;
    std::uint32_t flags;
};

class QuantizerExactColours : public ::testing::TestWithParam<exact_case> {};

// As many colours as entries, including greys 253 and 254, which share one value on the gamma
// curve, and (for 32-bit pixels) several opacities.
bgra few_colours(std::int32_t x, std::int32_t y, std::int32_t depth) {
    const int colour = (x * 3 + y * 5) % (1 << depth);
    if (colour < 2) return {static_cast<std::uint8_t>(253 + colour), 253, 253, 255};
    return {static_cast<std::uint8_t>(colour * 7), static_cast<std::uint8_t>(colour * 13),
            static_cast<std::uint8_t>(255 - colour),
            static_cast<std::uint8_t>(255 - colour % 4 * 60)};
}

TEST_P(QuantizerExactColours, PicturesThatFitKeepEveryColour) {
    const exact_case c = GetParam();
    pixel_block block = make_block(37, 11, c.bits_per_pixel, [&](std::int32_t x, std::int32_t y) {
        return few_colours(x, y, c.depth);
    });
    const quantizer_ptr q = quantize(block, c.depth, c.flags);
    ASSERT_NE(q, nullptr);
    const auto rows = rows_downwards(q.get(), block, c.depth);
    for (std::int32_t y = 0; y < block.height; ++y) {
        for (std::int32_t x = 0; x < block.width; ++x) {
            bgra want = few_colours(x, y, c.depth);
            if (c.bits_per_pixel == 24) want[3] = 255;
            ASSERT_EQ(entry(q.get(), rows[y][x]), want) << "pixel " << x << ", " << y;
        }
    }
}

std::string exact_case_name(const ::testing::TestParamInfo<exact_case>& info) {
    const exact_case& c = info.param;
    return "Depth" + std::to_string(c.depth) + "From" + std::to_string(c.bits_per_pixel) + "Bit" +
           (c.flags & SAVE_DITHER ? "Dithered" : "");
}

INSTANTIATE_TEST_SUITE_P(DepthsAndSources, QuantizerExactColours,
                         ::testing::Values(exact_case{1, 24, 0}, exact_case{2, 32, 0},
                                           exact_case{4, 24, SAVE_DITHER},
                                           exact_case{8, 32, SAVE_DITHER}, exact_case{8, 24, 0},
                                           exact_case{3, 32, 0}),
                         exact_case_name);

TEST(PaletteQuantizer, IndicesStayWithinThePaletteAtEveryDepth) {
    pixel_block block = make_block(29, 13, 32, noisy_colour);
    for (std::int32_t depth = 1; depth <= 8; ++depth) {
        for (std::uint32_t flags : {0u, SAVE_DITHER}) {
            const quantizer_ptr q = quantize(block, depth, flags);
            ASSERT_NE(q, nullptr);
            for (std::int32_t m = block.height - 1; m >= 0; --m) {
                const std::uint8_t* row = quantizer_row(q.get(), m);
                for (int index : unpack(row, block.width, depth)) {
                    ASSERT_LT(index, 1 << depth) << "depth " << depth;
                }
                // The bits after the last pixel of a packed row are zero.
                if (depth < 8 && 8 % depth == 0 && block.width * depth % 8 != 0) {
                    const int spare = 8 - block.width * depth % 8;
                    EXPECT_EQ(row[block.width * depth / 8] & ((1 << spare) - 1), 0);
                }
            }
        }
    }
}

// Four colours, each with a little noise so that there are far more than four distinct values.
bgra clustered(std::int32_t x, std::int32_t y) {
    static const bgra centres[4] = {
        {20, 30, 200, 255}, {40, 220, 50, 255}, {230, 60, 40, 255}, {240, 240, 235, 255}};
    const bgra centre = centres[(x / 8 + y / 8) % 4];
    const bgra noise = noisy_colour(x, y);
    bgra out = centre;
    for (int c = 0; c < 3; ++c)
        out[c] = static_cast<std::uint8_t>(centre[c] + noise[c] % 7 - 3);
    return out;
}

TEST(PaletteQuantizer, LearnsTheColoursThatThePictureHolds) {
    pixel_block block = make_block(64, 64, 24, clustered);
    const quantizer_ptr q = quantize(block, 2, 0);
    ASSERT_NE(q, nullptr);
    const auto rows = rows_downwards(q.get(), block, 2);
    for (std::int32_t y = 0; y < block.height; ++y) {
        for (std::int32_t x = 0; x < block.width; ++x) {
            const bgra want = clustered(x, y);
            const bgra got = entry(q.get(), rows[y][x]);
            for (int c = 0; c < 3; ++c) {
                ASSERT_LE(std::abs(got[c] - want[c]), 12) << x << ", " << y << " channel " << c;
            }
        }
    }
}

TEST(PaletteQuantizer, FullyTransparentPixelsMapAlikeWhateverTheirColour) {
    pixel_block block = make_block(32, 8, 32, [](std::int32_t x, std::int32_t y) {
        bgra p = noisy_colour(x, y);
        p[3] = x % 2 == 0 ? 0 : 255;
        return p;
    });
    const quantizer_ptr q = quantize(block, 4, 0);
    ASSERT_NE(q, nullptr);
    const auto rows = rows_downwards(q.get(), block, 4);
    const int transparent = rows[0][0];
    for (std::int32_t y = 0; y < block.height; ++y) {
        for (std::int32_t x = 0; x < block.width; x += 2)
            EXPECT_EQ(rows[y][x], transparent);
    }
    EXPECT_LT(entry(q.get(), transparent)[3], 32);
}

// The mean of the entries that dithering picks for a flat grey area, with a palette of the two
// greys 100 and 110.
double dithered_flat_mean(std::uint8_t grey) {
    const std::uint8_t palette[8] = {100, 100, 100, 255, 110, 110, 110, 255};
    palette_search search{};
    palette_search_start(search, palette, 2);
    const std::int32_t width = 48;
    const std::int32_t height = 32;
    std::vector<std::uint8_t> pixels(width * height * 4, 255);
    for (std::size_t i = 0; i < pixels.size(); i += 4)
        std::fill_n(&pixels[i], 3, grey);
    dither_state state{};
    std::vector<std::uint8_t> indices(width);
    double sum = 0;
    for (std::int32_t m = 0; m < height; ++m) {
        std::uint8_t* row = &pixels[m * width * 4];
        std::uint8_t* next = m + 1 < height ? row + width * 4 : row;
        dither_row(state, row, next, width, search, palette, indices.data());
        for (std::uint8_t index : indices)
            sum += palette[4 * index];
    }
    return sum / (width * height);
}

TEST(PaletteDither, KeepsTheMeanColourOfAFlatAreaBetweenTwoEntries) {
    for (std::uint8_t grey : {104, 105, 106}) {
        EXPECT_NEAR(dithered_flat_mean(grey), grey, 0.5) << int{grey};
    }
}

// The carried error is kept below the latest pixel's own error, so a colour close to an entry
// keeps that entry instead of turning into grain.
TEST(PaletteDither, LeavesColoursCloseToAnEntryOnThatEntry) {
    EXPECT_EQ(dithered_flat_mean(101), 100);
    EXPECT_EQ(dithered_flat_mean(109), 110);
}

// The error goes to the row that is mapped next, whichever way the writer walks through memory:
// on a picture that is its own mirror image, walking down gives the mirror image of walking up.
TEST(PaletteQuantizer, DitheringPassesTheErrorToTheRowMappedNext) {
    const std::int32_t height = 24;
    pixel_block block = make_block(40, height, 24, [](std::int32_t x, std::int32_t m) {
        const auto v = static_cast<std::uint8_t>(3 * x + 5 * std::min(m, height - 1 - m));
        return bgra{v, static_cast<std::uint8_t>(v / 2), static_cast<std::uint8_t>(255 - v), 255};
    });
    const quantizer_ptr walking_up = quantize(block, 3, SAVE_DITHER);
    std::vector<std::vector<int>> up(height);
    for (std::int32_t m = 0; m < height; ++m)
        up[m] = unpack(quantizer_row(walking_up.get(), m), 40, 3);
    const quantizer_ptr walking_down = quantize(block, 3, SAVE_DITHER);
    const auto down = rows_downwards(walking_down.get(), block, 3);
    ASSERT_NE(up[0], up[1]); // the picture is dithered at all
    for (std::int32_t m = 0; m < height; ++m) {
        EXPECT_EQ(down[m], up[height - 1 - m]) << "memory row " << m;
    }
}

TEST(PaletteQuantizer, GivesTheSameResultEveryTime) {
    pixel_block block = make_block(97, 41, 32, noisy_colour);
    for (std::uint32_t flags : {0u, SAVE_DITHER}) {
        const quantizer_ptr first = quantize(block, 6, flags);
        const quantizer_ptr second = quantize(block, 6, flags);
        EXPECT_TRUE(std::equal(quantizer_palette(first.get()), quantizer_palette(first.get()) + 256,
                               quantizer_palette(second.get())));
        EXPECT_EQ(rows_downwards(first.get(), block, 6), rows_downwards(second.get(), block, 6));
    }
}

TEST(PaletteQuantizer, RefusesDepthsAndPixelsItCannotServe) {
    pixel_block block = make_block(4, 4, 32, noisy_colour);
    EXPECT_EQ(quantize(block, 0, 0), nullptr);
    EXPECT_EQ(quantize(block, 9, 0), nullptr);
    EXPECT_EQ(quantizer_create(nullptr, 4, 4, 32, 16, 8, 0), nullptr);
    EXPECT_EQ(quantizer_create(block.bytes.data(), 4, 4, 16, 16, 8, 0), nullptr);
    EXPECT_EQ(quantizer_create(block.bytes.data(), 0, 4, 32, 16, 8, 0), nullptr);
}

} // namespace
} // namespace korvel::test
