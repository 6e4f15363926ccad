// The PNG encoder through image_save: the chunks and rows it writes, the byte order of samples,
// round trips through the decoder, the palette path and its failures, and refused files.
#include "dib_bytes.h"
#include "png_fixture.h"
#include "temp_folder.h"

#include "image/codec.h"
#include "image/image.h"
#include "image/png_codec.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace korvel::test {
namespace {

using bgra = std::array<std::uint8_t, 4>;
using pixel_rule = std::function<bgra(std::int32_t x, std::int32_t y)>;

const std::vector<std::string> header_data_end = {"IHDR", "IDAT", "IEND"};

std::uint8_t* writable_pixel(obj_number n, std::int32_t x, std::int32_t y) {
    return const_cast<std::uint8_t*>(pixel_at(bitmap_get(image_handle(n)), x, y));
}

// Image n with every pixel (x, y from the top) set by the rule.
void make_image(obj_number n, std::int32_t width, std::int32_t height, std::int32_t depth,
                const pixel_rule& rule) {
    ASSERT_NE(image_create(n, width, height, static_cast<std::uint32_t>(depth)), 0);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const bgra value = rule(x, y);
            std::copy(value.begin(), value.begin() + depth / 8, writable_pixel(n, x, y));
        }
    }
}

bgra distinct_pixel(std::int32_t x, std::int32_t y) {
    return {static_cast<std::uint8_t>(10 + x), static_cast<std::uint8_t>(20 + 7 * y),
            static_cast<std::uint8_t>(30 + x * y), static_cast<std::uint8_t>(40 + 3 * x + y)};
}

// Chunk types with runs of IDAT shown once.
std::vector<std::string> chunk_sequence(const std::vector<png_chunk>& chunks) {
    std::vector<std::string> types = chunk_types(chunks);
    types.erase(std::unique(types.begin(), types.end()), types.end());
    return types;
}

struct header {
    std::uint32_t width, height;
    std::uint8_t bit_depth, colour_type, compression, filter, interlace;
};

header read_header(const std::vector<png_chunk>& chunks) {
    const std::vector<std::uint8_t>& d = chunks.at(0).data;
    return {big_endian_u32(&d[0]), big_endian_u32(&d[4]), d[8], d[9], d[10], d[11], d[12]};
}

// The inflated rows, each checked for filter type 0 (None) and returned without it.
std::vector<std::vector<std::uint8_t>> unfiltered_rows(const std::vector<png_chunk>& chunks,
                                                       std::size_t row_length) {
    const std::vector<std::uint8_t> data = inflated_image_data(chunks);
    const std::uint32_t height = read_header(chunks).height;
    std::vector<std::vector<std::uint8_t>> rows;
    EXPECT_EQ(data.size(), height * (row_length + 1));
    for (std::size_t at = 0; at + row_length < data.size(); at += row_length + 1) {
        EXPECT_EQ(data[at], 0) << "filter byte of row " << rows.size();
        rows.emplace_back(data.begin() + at + 1, data.begin() + at + 1 + row_length);
    }
    return rows;
}

class PngEncoder : public ::testing::Test {
protected:
    void SetUp() override { register_png_codecs(); }
    void TearDown() override {
        image_free(6);
        image_free(7);
    }

    std::vector<png_chunk> save_and_parse(obj_number n, std::uint32_t flags, std::int32_t depth) {
        EXPECT_NE(image_save(n, folder.name16("out.png").c_str(), ENCODER_PNG, flags, depth), 0);
        return png_chunks(folder.read("out.png"));
    }

    temp_folder folder;
};

TEST_F(PngEncoder, WritesRgbaSamplesFromBgraMemoryTopRowFirstUnfiltered) {
    make_image(6, 5, 4, 32, distinct_pixel);
    const std::vector<png_chunk> chunks = save_and_parse(6, 32, -1);
    ASSERT_EQ(chunk_sequence(chunks), header_data_end);
    const header h = read_header(chunks);
    EXPECT_EQ(h.width, 5u);
    EXPECT_EQ(h.height, 4u);
    EXPECT_EQ(h.bit_depth, 8);
    EXPECT_EQ(h.colour_type, PNG_COLOR_TYPE_RGB_ALPHA);
    EXPECT_EQ(h.compression + h.filter + h.interlace, 0);
    const auto rows = unfiltered_rows(chunks, 5 * 4);
    ASSERT_EQ(rows.size(), 4u);
    // The pixel stored as blue 10, green 20, red 30, alpha 40 opens the first row.
    EXPECT_EQ(std::vector<std::uint8_t>(rows[0].begin(), rows[0].begin() + 4),
              (std::vector<std::uint8_t>{30, 20, 10, 40}));
    for (std::int32_t y = 0; y < 4; ++y) {
        for (std::int32_t x = 0; x < 5; ++x) {
            const bgra p = distinct_pixel(x, y);
            const std::uint8_t* s = &rows[y][x * 4];
            EXPECT_EQ((bgra{s[2], s[1], s[0], s[3]}), p) << x << ", " << y;
        }
    }
}

TEST_F(PngEncoder, SavesA24BitImageAsRgbWithoutAlpha) {
    make_image(6, 5, 3, 24, distinct_pixel); // 15 bytes a row in a 16-byte stride
    const std::vector<png_chunk> chunks = save_and_parse(6, 32, -1);
    ASSERT_EQ(chunk_sequence(chunks), header_data_end);
    EXPECT_EQ(read_header(chunks).colour_type, PNG_COLOR_TYPE_RGB);
    const auto rows = unfiltered_rows(chunks, 5 * 3);
    ASSERT_EQ(rows.size(), 3u);
    for (std::int32_t y = 0; y < 3; ++y) {
        for (std::int32_t x = 0; x < 5; ++x) {
            const bgra p = distinct_pixel(x, y);
            const std::uint8_t* s = &rows[y][x * 3];
            EXPECT_EQ((std::array<std::uint8_t, 3>{s[2], s[1], s[0]}),
                      (std::array<std::uint8_t, 3>{p[0], p[1], p[2]}));
        }
    }
}

TEST_F(PngEncoder, SavesAnUntouchedTransparentCanvasAsAllZeroSamples) {
    ASSERT_NE(image_create(6, 7, 3, 0x120), 0);
    const std::vector<png_chunk> chunks = save_and_parse(6, 32, -1);
    EXPECT_EQ(read_header(chunks).colour_type, PNG_COLOR_TYPE_RGB_ALPHA);
    const std::vector<std::uint8_t> data = inflated_image_data(chunks);
    EXPECT_EQ(data, std::vector<std::uint8_t>(3 * (1 + 7 * 4), 0));
}

TEST_F(PngEncoder, WritesMemoryRowsInOrderWhenRowsAreTopDown) {
    const std::uint8_t pixels[2 * 4] = {1, 2, 3, 4, 5, 6, 7, 8}; // memory row 0, then row 1
    ASSERT_NE(png_encode(folder.name16("out.png").c_str(), pixels, 1, 2, 4, 0, 0, 32,
                         PNG_COLOR_TYPE_RGB_ALPHA),
              0);
    const auto rows = unfiltered_rows(png_chunks(folder.read("out.png")), 4);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (std::vector<std::uint8_t>{3, 2, 1, 4}));
    EXPECT_EQ(rows[1], (std::vector<std::uint8_t>{7, 6, 5, 8}));
}

TEST_F(PngEncoder, RoundTripsThroughSaveAndLoad) {
    for (std::int32_t depth : {24, 32}) {
        make_image(6, 13, 6, depth, [](std::int32_t x, std::int32_t y) {
            const std::uint32_t v = (x * 2654435761u) ^ (y * 40503u);
            return bgra{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                        static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
        });
        ASSERT_NE(image_save(6, folder.name16("round.png").c_str(), ENCODER_PNG), 0);
        ASSERT_NE(image_load(7, folder.name16("round.png").c_str()), 0);
        EXPECT_EQ(image_lookup(7)->depth, depth);
        EXPECT_EQ(image_lookup(7)->source_depth, depth);
        for (std::int32_t y = 0; y < 6; ++y) {
            for (std::int32_t x = 0; x < 13; ++x) {
                EXPECT_TRUE(std::equal(writable_pixel(6, x, y), writable_pixel(6, x, y) + depth / 8,
                                       writable_pixel(7, x, y)))
                    << depth << "-bit pixel " << x << ", " << y;
            }
        }
    }
}

class PngPaletteOutput : public PngEncoder, public ::testing::WithParamInterface<int> {};

// A picture of exactly as many colours as the palette holds, grey 253 and 254 among them: they
// are one value apart on the gamma curve, so telling them apart needs care.
bgra palette_picture_pixel(std::int32_t x, std::int32_t y, int depth) {
    const int colour = (x + 3 * y) % (1 << depth);
    if (colour < 2) return {static_cast<std::uint8_t>(253 + colour), 253, 253, 255};
    return {static_cast<std::uint8_t>(colour * 5), static_cast<std::uint8_t>(255 - colour),
            static_cast<std::uint8_t>(colour * 37), 255};
}

TEST_P(PngPaletteOutput, WritesIndicesWithGammaAndAFullPaletteAndLoadsBackExactly) {
    const int depth = GetParam();
    const pixel_rule rule = [depth](std::int32_t x, std::int32_t y) {
        return palette_picture_pixel(x, y, depth);
    };
    make_image(6, 19, 17, 24, rule);
    const std::vector<png_chunk> chunks = save_and_parse(6, 0, depth);
    ASSERT_EQ(chunk_sequence(chunks),
              (std::vector<std::string>{"IHDR", "gAMA", "PLTE", "IDAT", "IEND"}));
    const header h = read_header(chunks);
    EXPECT_EQ(h.bit_depth, depth);
    EXPECT_EQ(h.colour_type, PNG_COLOR_TYPE_PALETTE);
    EXPECT_EQ(big_endian_u32(chunks[1].data.data()), 180000u);
    EXPECT_EQ(chunks[2].data.size(), 3u << depth);
    unfiltered_rows(chunks, (19 * depth + 7) / 8);

    ASSERT_NE(image_load(7, folder.name16("out.png").c_str()), 0);
    EXPECT_EQ(image_lookup(7)->source_depth, depth);
    for (std::int32_t y = 0; y < 17; ++y) {
        for (std::int32_t x = 0; x < 19; ++x) {
            ASSERT_TRUE(std::equal(writable_pixel(6, x, y), writable_pixel(6, x, y) + 3,
                                   writable_pixel(7, x, y)))
                << "pixel " << x << ", " << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, PngPaletteOutput, ::testing::Values(1, 2, 4, 8));

TEST_F(PngEncoder, FailsAtPaletteDepthsThatPngCannotHold) {
    make_image(6, 4, 4, 32, distinct_pixel);
    ::testing::internal::CaptureStderr();
    for (std::int32_t depth : {3, 5, 6, 7}) {
        EXPECT_EQ(image_save(6, folder.name16("odd.png").c_str(), ENCODER_PNG, 0, depth), 0)
            << depth;
    }
    ::testing::internal::GetCapturedStderr();
}

TEST_F(PngEncoder, WritesNothingIntoAFolderThatDoesNotExist) {
    make_image(6, 4, 4, 32, distinct_pixel);
    EXPECT_EQ(image_save(6, folder.name16("missing/out.png").c_str(), ENCODER_PNG), 0);
    EXPECT_FALSE(std::filesystem::exists(folder.path("missing")));
    EXPECT_TRUE(folder.entries().empty());
}

TEST_F(PngEncoder, ReportsAFullDiskAsFailure) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
    make_image(6, 4, 4, 32, distinct_pixel);
    EXPECT_EQ(image_save(6, u"/dev/full", ENCODER_PNG), 0);
}

} // namespace
} // namespace korvel::test
