// Saving at the depths the program's frames never use: the BMP writer at each depth it takes
// (through a palette of 2^depth entries below 24 bits, over white at 24, as stored at 32), palette
// PNG files with gamma 1.8 and no transparency, other depths failing; and dithering, which mixes
// the palette's colours where plain mapping gives one.
#include "tests/image/image_files.h"
#include "tests/support/scratch_folder.h"

#include "image/codec.h"
#include "image/image.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <array>

namespace korvel::test {
namespace {

using pixel = std::vector<int>;

pixel bytes_at(const bytes& file, std::size_t at, int count) {
    pixel p;
    for (int i = 0; i < count; ++i)
        p.push_back(std::uint8_t(file[at + i]));
    return p;
}

std::uint32_t le32(const bytes& file, std::size_t at) {
    const pixel p = bytes_at(file, at, 4);
    return std::uint32_t(p[3]) << 24 | p[2] << 16 | p[1] << 8 | p[0];
}

// The index of pixel x in a row of packed indices, most significant bits first.
int index_at(const bytes& data, std::size_t row, int x, int depth) {
    return std::uint8_t(data[row + x * depth / 8]) >> (8 - depth - x * depth % 8) &
           ((1 << depth) - 1);
}

// Pixel (x, y) from the top of a BMP file under 128 pixels each way: its bytes, or its palette
// entry's.
pixel bmp_pixel(const bytes& file, int x, int y) {
    const int depth = file[28], width = file[18], height = file[22];
    const std::size_t row = le32(file, 10) + (height - 1 - y) * ((width * depth + 31) / 32 * 4);
    if (depth > 8) return bytes_at(file, row + x * depth / 8, depth / 8);
    return bytes_at(file, 54 + 4 * index_at(file, row, x, depth), 4);
}

// Pixel (x, y) from the top of a 3 x 2 palette PNG file of IHDR, gAMA, PLTE and IDAT: its PLTE
// entry.
pixel png_pixel(const chunk_list& chunks, int depth, int x, int y) {
    bytes rows(16, '\0');
    uLongf size = rows.size();
    uncompress(z(rows), &size, z(chunks[3].second), chunks[3].second.size());
    return bytes_at(chunks[2].second,
                    3 * index_at(rows, y * (1 + (3 * depth + 7) / 8) + 1, x, depth), 3);
}

// Image 1: columns of (blue 0, green 0, red 0, alpha 128) and of opaque (200, 100, 50) in turn.
void two_colours() {
    ASSERT_NE(image_create(1, 3, 2, 32), 0);
    const bitmap* b = bitmap_get(image_handle(1));
    for (int i = 0; i < 6; ++i)
        std::copy_n(i % 3 % 2 ? "\xC8\x64\x32\xFF" : "\0\0\0\x80", 4, b->pixels + i * 4);
}

TEST(ReducedSave, EachDepthTakenGivesItsLayoutAndColoursAndOthersFail) {
    image_codecs_ready();
    two_colours();
    const scratch_folder folder;
    // BMP pixels as stored, blue first; PNG palette entries, red first.
    const pixel entry[] = {{0, 0, 0, 0}, {200, 100, 50, 0}}, png[] = {{0, 0, 0}, {50, 100, 200}};
    // clang-format off
    const struct { std::uint32_t encoder; int depth; pixel first = {}, second = {}; } saves[] = {
        {ENCODER_BMP, 1, entry[0], entry[1]}, {ENCODER_BMP, 4, entry[0], entry[1]}, {ENCODER_BMP, 8, entry[0], entry[1]},
        {ENCODER_BMP, 24, {127, 127, 127}, {200, 100, 50}}, {ENCODER_BMP, 32, {0, 0, 0, 128}, {200, 100, 50, 255}},
        {ENCODER_PNG, 1, png[0], png[1]}, {ENCODER_PNG, 2, png[0], png[1]}, {ENCODER_PNG, 4, png[0], png[1]},
        {ENCODER_PNG, 8, png[0], png[1]}, {ENCODER_BMP, 2}, {ENCODER_BMP, 16}, {ENCODER_PNG, 3}};
    // clang-format on
    for (const auto& [encoder, depth, first, second] : saves) {
        SCOPED_TRACE(testing::Message() << "encoder " << encoder << ", depth " << depth);
        ASSERT_EQ(image_save(1, folder.name("out").c_str(), encoder, 0, depth) != 0,
                  !first.empty());
        const bytes file = read_file(folder.path("out"));
        const chunk_list c = png_chunks(file);
        if (encoder == ENCODER_BMP && !first.empty()) {
            const std::uint32_t size = std::uint32_t(file.size()),
                                rows = 54 + (depth <= 8 ? 4 << depth : 0);
            EXPECT_EQ((std::array{le32(file, 2), le32(file, 10), le32(file, 34)}),
                      (std::array{size, rows, size - rows}));
        }
        if (encoder == ENCODER_PNG && !first.empty()) {
            ASSERT_EQ(c.size(), 5u);
            EXPECT_EQ(c[0].first + c[1].first + c[2].first + c[3].first + c[4].first,
                      "IHDRgAMAPLTEIDATIEND");
            EXPECT_EQ(c[0].second + c[1].second,
                      png_header(3, 2, 3, depth) + bytes("\0\2\xBF\x20", 4));
            EXPECT_EQ(c[2].second.size(), 3u << depth);
        }
        for (int i = 0; i < 6 && !first.empty(); ++i)
            EXPECT_EQ(c.empty() ? bmp_pixel(file, i % 3, i / 3) : png_pixel(c, depth, i % 3, i / 3),
                      i % 3 % 2 ? second : first)
                << i;
    }
}

// A grey ramp from black to white through a palette of two colours: plain mapping changes colour
// once in a row, diffusing the error more often.
TEST(ReducedSave, DitheringMixesThePaletteWherePlainMappingGivesOneColour) {
    image_codecs_ready();
    ASSERT_NE(image_create(1, 64, 4, 24), 0);
    const bitmap* b = bitmap_get(image_handle(1));
    for (int i = 0; i < b->stride * 4; ++i)
        b->pixels[i] = std::uint8_t(i % b->stride / 3 * 4);
    const scratch_folder folder;
    int changes[2] = {};
    for (const std::uint32_t flags : {0u, SAVE_DITHER}) {
        ASSERT_NE(image_save(1, folder.name("out").c_str(), ENCODER_BMP, flags, 1), 0);
        const bytes file = read_file(folder.path("out"));
        for (int i = 0; i < 63 * 4; ++i)
            changes[flags != 0] +=
                bmp_pixel(file, i % 63, i / 63) != bmp_pixel(file, i % 63 + 1, i / 63);
    }
    EXPECT_EQ(changes[0], 4);
    EXPECT_GT(changes[1], 3 * changes[0]) << changes[1];
}

} // namespace
} // namespace korvel::test
