// Saving at the depths the program's frames never use: the BMP writer at each depth it takes
// (through a palette of 2^depth entries below 24 bits, over white at 24, as stored at 32), palette
// PNG files with gamma 1.8 and no transparency, other depths failing; and dithering, which mixes
// the palette's colours where plain mapping gives one. The files are read back by the readers,
// whose own tests hold them to files made by hand.
#include "tests/image/image_files.h"
#include "tests/support/scratch_folder.h"

#include "image/codec.h"
#include "image/image.h"

#include <gtest/gtest.h>

#include <array>

namespace korvel::test {
namespace {

using pixel = std::vector<int>;

// The pixels of a saved file as the image readers load it, rows from the top: blue, green, red,
// and the alpha that 32-bit BMP files keep.
std::vector<pixel> loaded(const bytes& file) {
    std::vector<pixel> pixels;
    const bitmap* b = catch_bytes(2, file) ? bitmap_get(image_handle(2)) : nullptr;
    for (int i = 0; b && i < b->width * b->height; ++i) {
        const std::uint8_t* p =
            b->pixels + (b->height - 1 - i / b->width) * b->stride + i % b->width * b->depth / 8;
        pixels.emplace_back(p, p + b->depth / 8);
    }
    return pixels;
}

// Columns of (blue 0, green 0, red 0, alpha 128) and of opaque (200, 100, 50) in turn.
TEST(ReducedSave, EachDepthTakenGivesItsLayoutAndColoursAndOthersFail) {
    image_codecs_ready();
    ASSERT_NE(image_create(1, 3, 2, 32), 0);
    for (int i = 0; i < 6; ++i)
        std::copy_n(i % 3 % 2 ? "\xC8\x64\x32\xFF" : "\0\0\0\x80", 4,
                    bitmap_get(image_handle(1))->pixels + i * 4);
    const scratch_folder folder;
    const pixel entry[] = {{0, 0, 0}, {200, 100, 50}}; // a palette's
    // clang-format off
    const struct { std::uint32_t encoder; int depth; pixel first = {}, second = {}; } saves[] = {
        {ENCODER_BMP, 1, entry[0], entry[1]}, {ENCODER_BMP, 4, entry[0], entry[1]}, {ENCODER_BMP, 8, entry[0], entry[1]},
        {ENCODER_BMP, 24, {127, 127, 127}, {200, 100, 50}}, {ENCODER_BMP, 32, {0, 0, 0, 128}, {200, 100, 50, 255}},
        {ENCODER_PNG, 1, entry[0], entry[1]}, {ENCODER_PNG, 2, entry[0], entry[1]}, {ENCODER_PNG, 4, entry[0], entry[1]},
        {ENCODER_PNG, 8, entry[0], entry[1]}, {ENCODER_BMP, 2}, {ENCODER_BMP, 16}, {ENCODER_PNG, 3}};
    // clang-format on
    for (const auto& [encoder, depth, first, second] : saves) {
        SCOPED_TRACE(testing::Message() << "encoder " << encoder << ", depth " << depth);
        ASSERT_EQ(image_save(1, folder.name("out").c_str(), encoder, 0, depth) != 0,
                  !first.empty());
        if (first.empty()) continue;
        const bytes file = read_file(folder.path("out"));
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(loaded(file).at(i), i % 3 % 2 ? second : first) << i;
        bytes sized = file; // the file's size, where its rows start and their size
        const std::uint32_t size = std::uint32_t(file.size()),
                            rows = 54 + (depth <= 8 ? 4 << depth : 0);
        for (const auto& [at, value] : {std::pair{2, size}, {10, rows}, {34, size - rows}})
            put_le32(sized, at, value);
        EXPECT_TRUE(encoder != ENCODER_BMP || file == sized) << "a size in the BMP headers";
        if (encoder == ENCODER_BMP) continue;
        const chunk_list c = png_chunks(file);
        ASSERT_EQ(c.size(), 5u);
        EXPECT_EQ(c[0].first + c[1].first + c[2].first + c[3].first + c[4].first,
                  "IHDRgAMAPLTEIDATIEND");
        EXPECT_EQ(c[0].second + c[1].second, png_header(3, 2, 3, depth) + bytes("\0\2\xBF\x20", 4));
        EXPECT_EQ(c[2].second.size(), 3u << depth);
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
        const std::vector<pixel> pixels = loaded(read_file(folder.path("out")));
        for (int i = 1; i < 64 * 4; ++i)
            changes[flags != 0] += i % 64 && pixels.at(i) != pixels[i - 1];
    }
    EXPECT_EQ(changes[0], 4);
    EXPECT_GT(changes[1], 3 * changes[0]) << changes[1];
}

} // namespace
} // namespace korvel::test
