// The BMP writer: file structure, round trips at 24 and 32 bits, the flattening and widening
// between them, the palette path at 1, 4 and 8 bits, and the refusals that write nothing.
#include "dib_bytes.h"
#include "image_fixture.h"
#include "temp_folder.h"

#include <set>

namespace korvel {
namespace {

using test::bytes;
using test::pixel_at;

std::uint32_t u32_at(const bytes& data, std::size_t at) {
    return data.at(at) | (data.at(at + 1) << 8) | (data.at(at + 2) << 16) |
           (static_cast<std::uint32_t>(data.at(at + 3)) << 24);
}
std::uint32_t u16_at(const bytes& data, std::size_t at) {
    return data.at(at) | (data.at(at + 1) << 8);
}

class BmpWrite : public test::ImageTest {
protected:
    test::temp_folder folder;

    // Image n, 5 by 3, with a different colour (and alpha) in every pixel.
    static void paint(obj_number n, std::uint32_t depth) {
        ASSERT_NE(image_create(n, 5, 3, depth), 0);
        bitmap* object = bitmap_get(image_handle(n));
        std::int32_t bytes_per_pixel = object->depth / 8;
        for (std::int32_t y = 0; y < 3; ++y) {
            for (std::int32_t x = 0; x < 5; ++x) {
                std::uint8_t* p = object->pixels + y * object->stride + x * bytes_per_pixel;
                for (std::int32_t c = 0; c < bytes_per_pixel; ++c) {
                    p[c] = static_cast<std::uint8_t>(40 * c + 9 * x + 50 * y + 3);
                }
            }
        }
    }

    bytes save(obj_number n, std::int32_t depth, std::uint32_t flags = 0) {
        EXPECT_EQ(image_save(n, folder.name16("out.bmp").c_str(), ENCODER_BMP, flags, depth), 1);
        return folder.read("out.bmp");
    }

    // Checks both headers of a written file of the image's size at that depth.
    static void expect_headers(const bytes& file, std::int32_t depth) {
        std::uint32_t palette = depth <= 8 ? 4u << depth : 0;
        std::uint32_t image_size = static_cast<std::uint32_t>(row_bytes(5, depth)) * 3;
        ASSERT_GE(file.size(), 54u);
        EXPECT_EQ(file[0], 'B');
        EXPECT_EQ(file[1], 'M');
        EXPECT_EQ(u32_at(file, 2), file.size());
        EXPECT_EQ(u32_at(file, 6), 0u);
        EXPECT_EQ(u32_at(file, 10), 54 + palette);
        EXPECT_EQ(u32_at(file, 14), 40u);
        EXPECT_EQ(u32_at(file, 18), 5u);
        EXPECT_EQ(u32_at(file, 22), 3u);
        EXPECT_EQ(u16_at(file, 26), 1u);
        EXPECT_EQ(u16_at(file, 28), static_cast<std::uint32_t>(depth));
        EXPECT_EQ(u32_at(file, 30), 0u);
        EXPECT_EQ(u32_at(file, 34), image_size);
        EXPECT_EQ(file.size(), 54 + palette + image_size);
    }
};

TEST_F(BmpWrite, TwentyFourBitImageRoundTrips) {
    paint(0, 24);
    bytes file = save(0, -1);
    expect_headers(file, 24);
    const bitmap* original = bitmap_of(0);
    EXPECT_EQ(bytes(file.begin() + 54, file.end()),
              bytes(original->pixels, original->pixels + original->stride * 3));
    ASSERT_NE(image_load(1, folder.name16("out.bmp").c_str()), 0);
    const bitmap* loaded = bitmap_of(1);
    EXPECT_TRUE(
        std::equal(original->pixels, original->pixels + original->stride * 3, loaded->pixels));
}

TEST_F(BmpWrite, ThirtyTwoBitImageRoundTripsWithItsAlpha) {
    paint(0, 32);
    bytes file = save(0, -1);
    expect_headers(file, 32);
    ASSERT_NE(image_catch(1, file.data(), file.size()), 0);
    const bitmap* original = bitmap_of(0);
    const bitmap* caught = bitmap_of(1);
    ASSERT_EQ(caught->depth, 32);
    EXPECT_TRUE(
        std::equal(original->pixels, original->pixels + original->stride * 3, caught->pixels));
}

TEST_F(BmpWrite, ThirtyTwoBitsSavedAtTwentyFourAreFlattenedOverWhite) {
    paint(0, 32);
    bytes file = save(0, 24);
    expect_headers(file, 24);
    const std::uint8_t* source = pixel_at(bitmap_of(0), 4, 0); // top right: the last row
    std::size_t at = 54 + 2 * row_bytes(5, 24) + 4 * 3;
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(file[at + c], ((source[c] - 255) * source[3] + 65025) / 255) << c;
    }
}

TEST_F(BmpWrite, TwentyFourBitsSavedAtThirtyTwoGetAZeroFourthByte) {
    paint(0, 24);
    bytes file = save(0, 32);
    expect_headers(file, 32);
    const std::uint8_t* source = pixel_at(bitmap_of(0), 1, 2); // bottom row
    EXPECT_EQ(bytes(file.begin() + 54 + 4, file.begin() + 54 + 8),
              (bytes{source[0], source[1], source[2], 0}));
}

TEST_F(BmpWrite, TopDownRowsWriteTheSameFile) {
    paint(0, 32);
    const bitmap* object = bitmap_of(0);
    bytes flipped(static_cast<std::size_t>(object->stride) * 3);
    for (std::int32_t row = 0; row < 3; ++row) {
        std::copy(object->pixels + row * object->stride,
                  object->pixels + (row + 1) * object->stride,
                  flipped.begin() + (2 - row) * object->stride);
    }
    bytes bottom_up = save(0, 32);
    ASSERT_EQ(bmp_write(folder.name16("flipped.bmp").c_str(), flipped.data(), object->stride, 5, 3,
                        32, 0, 0, 32),
              1);
    EXPECT_EQ(folder.read("flipped.bmp"), bottom_up);
}

TEST_F(BmpWrite, PalettePathMapsEveryPixelToAnEntry) {
    paint(0, 32);
    for (std::int32_t depth : {1, 4, 8}) {
        for (std::uint32_t flags : {0u, SAVE_DITHER}) {
            bytes file = save(0, depth, flags);
            expect_headers(file, depth);
            std::uint32_t entries = 1u << depth;
            std::set<std::uint32_t> palette;
            for (std::uint32_t i = 0; i < entries; ++i) {
                EXPECT_EQ(file[54 + i * 4 + 3], 0) << "fourth palette byte";
                palette.insert(u32_at(file, 54 + i * 4) & 0xFFFFFF);
            }
            ASSERT_NE(image_load(1, folder.name16("out.bmp").c_str()), 0) << depth;
            EXPECT_EQ(image_lookup(1)->source_depth, depth);
            const bitmap* loaded = bitmap_of(1);
            for (std::int32_t y = 0; y < 3; ++y) {
                for (std::int32_t x = 0; x < 5; ++x) {
                    const std::uint8_t* p = pixel_at(loaded, x, y);
                    EXPECT_EQ(palette.count(p[0] | (p[1] << 8) | (p[2] << 16)), 1u)
                        << depth << " bits at " << x << "," << y;
                }
            }
        }
    }
}

TEST_F(BmpWrite, SavingReplacesAnOldFileWhole) {
    folder.write("out.bmp", bytes(5000, 0xEE));
    paint(0, 24);
    expect_headers(save(0, 24), 24);
}

TEST_F(BmpWrite, RefusalsWriteNothing) {
    paint(0, 32);
    for (std::int32_t depth : {0, 2, 3, 16, 33}) {
        EXPECT_EQ(image_save(0, folder.name16("bad.bmp").c_str(), ENCODER_BMP, 0, depth), 0)
            << depth;
    }
    EXPECT_EQ(image_save(0, folder.name16("missing/out.bmp").c_str(), ENCODER_BMP, 0, 32), 0);
    EXPECT_EQ(image_save(0, u"", ENCODER_BMP, 0, 32), 0);
    std::uint8_t pixels[8] = {};
    EXPECT_EQ(bmp_write(folder.name16("sixteen.bmp").c_str(), pixels, 4, 2, 1, 16, 0, 0, 24), 0);
    EXPECT_EQ(bmp_write(folder.name16("null.bmp").c_str(), nullptr, 8, 2, 1, 32, 0, 0, 32), 0);
    EXPECT_EQ(bmp_write(folder.name16("short.bmp").c_str(), pixels, 4, 2, 1, 32, 0, 0, 32), 0);
    EXPECT_TRUE(folder.entries().empty());
}

} // namespace
} // namespace korvel
