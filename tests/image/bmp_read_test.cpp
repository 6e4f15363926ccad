// The BMP reader through image_load and image_catch: every bit depth with its kept depth and
// pixels, row order, bit fields, the all-zero alpha rule, and damaged data failing cleanly.
#include "dib_bytes.h"
#include "image_fixture.h"
#include "temp_folder.h"

#include <array>
#include <string>

namespace korvel {
namespace {

using test::bytes;
using test::dib_layout;
using test::picture;
using test::pixel_at;
using bgra = std::array<std::uint8_t, 4>;

constexpr std::int32_t width = 5;
constexpr std::int32_t height = 3;

// A 5-wide picture (so every depth needs row padding) with a different value in every pixel.
picture values_for(const dib_layout& layout) {
    picture rows(height, std::vector<std::uint32_t>(width));
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            std::uint32_t i = y * width + x;
            switch (layout.bits) {
            case 16:
                rows[y][x] = (i << 10) | ((31 - i) << 5) | (i * 2 % 32) | (i == 3 ? 0x8000 : 0);
                break;
            case 24:
                rows[y][x] = 0x0A1420 + i * 0x0B0705;
                break;
            case 32:
                rows[y][x] = (i * 17) << 24 | (0x302010 + i * 0x030201);
                break;
            default:
                rows[y][x] = i % layout.palette.size();
            }
        }
    }
    return rows;
}

std::uint8_t five_to_eight(std::uint32_t v) {
    return static_cast<std::uint8_t>((v << 3) | (v >> 2));
}

// The colour a stored value stands for, worked out from the layout independently of the reader.
bgra colour_of(const dib_layout& layout, std::uint32_t value) {
    if (layout.bits <= 8) value = layout.palette.at(value);
    if (layout.bits == 16) {
        return {five_to_eight(value & 31), five_to_eight((value >> 5) & 31),
                five_to_eight((value >> 10) & 31), 255};
    }
    auto byte = [&](int shift) { return static_cast<std::uint8_t>(value >> shift); };
    return {byte(0), byte(8), byte(16), layout.bits == 32 ? byte(24) : std::uint8_t{255}};
}

dib_layout layout_for(std::int32_t bits) {
    dib_layout layout;
    layout.bits = bits;
    if (bits == 1) layout.palette = {0x102030, 0xE0D0C0};
    if (bits == 4) {
        for (std::uint32_t i = 0; i < 16; ++i)
            layout.palette.push_back(0x050A0F * i + 0x000102);
    }
    if (bits == 8) {
        // Fewer entries than the depth allows: the count comes from the header.
        layout.palette = {0xFF0000, 0x00FF00, 0x0000FF, 0x808080, 0x123456, 0xABCDEF, 0x010203};
        layout.colours_used = 7;
    }
    return layout;
}

class BmpRead : public test::ImageTest, public ::testing::WithParamInterface<std::int32_t> {
protected:
    test::temp_folder folder;

    obj_number load(const std::string& name, const bytes& data) {
        folder.write(name, data);
        return image_load(0, folder.name16(name).c_str());
    }
};

TEST_P(BmpRead, FileKeepsTheDepthItsBitCountCallsFor) {
    dib_layout layout = layout_for(GetParam());
    picture rows = values_for(layout);
    ASSERT_NE(load("picture.bmp", test::bmp_file(layout, rows)), 0);
    const image_record* record = image_lookup(0);
    std::int32_t kept = GetParam() == 16 ? 16 : 24;
    EXPECT_EQ(record->depth, kept);
    EXPECT_EQ(record->source_depth, GetParam());
    EXPECT_EQ(record->width, width);
    EXPECT_EQ(record->height, height);
    const bitmap* object = bitmap_of(0);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint8_t* p = pixel_at(object, x, y);
            if (kept == 16) {
                EXPECT_EQ(p[0] | (p[1] << 8), static_cast<int>(rows[y][x])) << x << "," << y;
                continue;
            }
            bgra want = colour_of(layout, rows[y][x]);
            EXPECT_EQ((bgra{p[0], p[1], p[2], 255}), (bgra{want[0], want[1], want[2], 255}))
                << x << "," << y;
        }
    }
}

TEST_P(BmpRead, MemoryDataBecomesAtLeastTwentyFourBits) {
    dib_layout layout = layout_for(GetParam());
    picture rows = values_for(layout);
    bytes data = test::bmp_file(layout, rows);
    ASSERT_NE(image_catch(1, data.data(), data.size()), 0);
    const image_record* record = image_lookup(1);
    std::int32_t kept = GetParam() == 32 ? 32 : 24;
    EXPECT_EQ(record->depth, kept);
    EXPECT_EQ(record->source_depth, GetParam());
    const bitmap* object = bitmap_of(1);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint8_t* p = pixel_at(object, x, y);
            bgra want = colour_of(layout, rows[y][x]);
            bgra got{p[0], p[1], p[2], kept == 32 ? p[3] : std::uint8_t{255}};
            EXPECT_EQ(got, want) << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryBitCount, BmpRead, ::testing::Values(1, 4, 8, 16, 24, 32));

class BmpReadData : public test::ImageTest {
protected:
    // Catches data under number 2 after filling the number, so a failure must also empty it.
    static obj_number catch_over_old_image(const bytes& data) {
        EXPECT_NE(image_create(2, 1, 1, 32), 0);
        bytes exact(data); // an exact-size copy, so that a read past the end is caught
        return image_catch(2, exact.data(), exact.size());
    }
};

TEST_F(BmpReadData, TopDownRowsGiveTheSamePicture) {
    dib_layout layout = layout_for(24);
    picture rows = values_for(layout);
    bytes bottom_up = test::bmp_file(layout, rows);
    layout.top_down = true;
    bytes top_down = test::bmp_file(layout, rows);
    ASSERT_NE(image_catch(3, bottom_up.data(), bottom_up.size()), 0);
    ASSERT_NE(image_catch(4, top_down.data(), top_down.size()), 0);
    const bitmap* a = bitmap_of(3);
    const bitmap* b = bitmap_of(4);
    ASSERT_EQ(a->stride, b->stride);
    EXPECT_TRUE(std::equal(a->pixels, a->pixels + a->stride * height, b->pixels));
    EXPECT_EQ(pixel_at(b, 0, 0)[0], 0x20); // top-left blue byte of 0x0A1420
}

TEST_F(BmpReadData, ThirtyTwoBitDataWithoutAlphaIsCaughtOpaque) {
    dib_layout layout = layout_for(32);
    picture rows(2, std::vector<std::uint32_t>{0x00112233, 0x00445566});
    bytes data = test::bmp_file(layout, rows);
    ASSERT_NE(image_catch(5, data.data(), data.size()), 0);
    const bitmap* object = bitmap_of(5);
    EXPECT_EQ(object->depth, 32);
    for (std::int32_t y = 0; y < 2; ++y) {
        EXPECT_EQ(pixel_at(object, 0, y)[3], 255);
        EXPECT_EQ(pixel_at(object, 1, y)[3], 255);
        EXPECT_EQ(pixel_at(object, 1, y)[0], 0x66);
    }
    // One non-zero alpha byte means the data has alpha: the zero ones stay transparent.
    rows[1][1] = 0x01445566;
    data = test::bmp_file(layout, rows);
    ASSERT_NE(image_catch(5, data.data(), data.size()), 0);
    EXPECT_EQ(pixel_at(bitmap_of(5), 0, 0)[3], 0);
    EXPECT_EQ(pixel_at(bitmap_of(5), 1, 1)[3], 1);
}

TEST_F(BmpReadData, ThirtyTwoBitFileDropsItsAlpha) {
    test::temp_folder folder;
    folder.write("alpha.bmp", test::bmp_file(layout_for(32), {{0x80FF8040}}));
    ASSERT_NE(image_load(6, folder.name16("alpha.bmp").c_str()), 0);
    EXPECT_EQ(image_lookup(6)->depth, 24);
    EXPECT_EQ(image_lookup(6)->source_depth, 32);
    const std::uint8_t* p = pixel_at(bitmap_of(6), 0, 0);
    EXPECT_EQ((bgra{p[0], p[1], p[2], 0}), (bgra{0x40, 0x80, 0xFF, 0}));
}

TEST_F(BmpReadData, BitFieldsSelectTheChannels) {
    dib_layout rgb565;
    rgb565.bits = 16;
    rgb565.compression = 3;
    rgb565.masks = {0xF800, 0x07E0, 0x001F};
    // red 31, green 32 of 63, blue 1
    bytes data = test::bmp_file(rgb565, {{(31u << 11) | (32u << 5) | 1u}});
    ASSERT_NE(image_catch(7, data.data(), data.size()), 0);
    const std::uint8_t* p = pixel_at(bitmap_of(7), 0, 0);
    EXPECT_EQ((bgra{p[0], p[1], p[2], 0}), (bgra{0x08, 0x82, 0xFF, 0}));

    // The largest header carries its masks, alpha included, inside the header.
    dib_layout v5;
    v5.bits = 32;
    v5.compression = 3;
    v5.header_size = 124;
    v5.masks = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000};
    data = test::bmp_file(v5, {{0x40302010}});
    ASSERT_NE(image_catch(8, data.data(), data.size()), 0);
    p = pixel_at(bitmap_of(8), 0, 0);
    EXPECT_EQ((bgra{p[0], p[1], p[2], p[3]}), (bgra{0x30, 0x20, 0x10, 0x40}));
}

TEST_F(BmpReadData, SixteenBitFileWithOtherMasksIsKeptAsFiveFiveFive) {
    dib_layout rgb565;
    rgb565.bits = 16;
    rgb565.compression = 3;
    rgb565.masks = {0xF800, 0x07E0, 0x001F};
    test::temp_folder folder;
    folder.write("565.bmp", test::bmp_file(rgb565, {{(31u << 11) | (63u << 5) | 2u}}));
    ASSERT_NE(image_load(9, folder.name16("565.bmp").c_str()), 0);
    EXPECT_EQ(image_lookup(9)->depth, 16);
    const std::uint8_t* p = pixel_at(bitmap_of(9), 0, 0);
    EXPECT_EQ(p[0] | (p[1] << 8), (31 << 10) | (31 << 5) | 2);
}

TEST_F(BmpReadData, EveryTruncationFailsCleanly) {
    for (std::int32_t bits : {1, 8, 24, 32}) {
        bytes whole = test::bmp_file(layout_for(bits), values_for(layout_for(bits)));
        for (std::size_t length = 1; length < whole.size(); ++length) {
            bytes part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
            ASSERT_EQ(catch_over_old_image(part), 0) << bits << " bits, " << length << " bytes";
            ASSERT_EQ(image_is_valid(2), 0);
        }
    }
}

TEST_F(BmpReadData, TruncatedFileFailsAndLeavesTheNumberEmpty) {
    test::temp_folder folder;
    bytes whole = test::bmp_file(layout_for(24), values_for(layout_for(24)));
    folder.write("cut.bmp", bytes(whole.begin(), whole.end() - 1));
    ASSERT_NE(image_create(10, 1, 1, 32), 0);
    EXPECT_EQ(image_load(10, folder.name16("cut.bmp").c_str()), 0);
    EXPECT_EQ(image_is_valid(10), 0);
}

TEST_F(BmpReadData, LyingHeadersFailCleanly) {
    bytes good = test::bmp_file(layout_for(8), values_for(layout_for(8)));
    auto with = [&](std::size_t at, std::uint32_t value) {
        bytes changed = good;
        test::put_u32(changed, at, value);
        return changed;
    };
    EXPECT_EQ(catch_over_old_image(with(18, 30000)), 0) << "width beyond the data";
    EXPECT_EQ(catch_over_old_image(with(22, 30000)), 0) << "height beyond the data";
    EXPECT_EQ(catch_over_old_image(with(18, 0)), 0) << "zero width";
    EXPECT_EQ(catch_over_old_image(with(22, 0x80000000)), 0) << "most negative height";
    EXPECT_EQ(catch_over_old_image(with(18, 40000)), 0) << "width above 32767";
    EXPECT_EQ(catch_over_old_image(with(10, 0xFFFFFFF0)), 0) << "pixel offset past the end";
    EXPECT_EQ(catch_over_old_image(with(10, 4)), 0) << "pixel offset inside the headers";
    EXPECT_EQ(catch_over_old_image(with(14, 12)), 0) << "unknown header size";
    EXPECT_EQ(catch_over_old_image(with(14, 0xFFFFFFFF)), 0) << "huge header size";
    EXPECT_EQ(catch_over_old_image(with(30, 1)), 0) << "run-length compression";
    EXPECT_EQ(catch_over_old_image(with(46, 300)), 0) << "more colours than 8 bits name";
    EXPECT_EQ(catch_over_old_image(with(46, 2)), 0) << "indices beyond the palette";
    bytes two_bits = good;
    two_bits[28] = 2;
    EXPECT_EQ(catch_over_old_image(two_bits), 0) << "unsupported bit count";
    EXPECT_EQ(image_is_valid(2), 0);
}

TEST_F(BmpReadData, UnusableBitFieldsFail) {
    dib_layout layout;
    layout.bits = 32;
    layout.compression = 3;
    for (auto masks : {std::vector<std::uint32_t>{0xFF00, 0xFF00, 0xFF},
                       std::vector<std::uint32_t>{0xF0F0, 0xF0F, 0xF0000},
                       std::vector<std::uint32_t>{0, 0xFF00, 0xFF}}) {
        layout.masks = masks;
        EXPECT_EQ(catch_over_old_image(test::bmp_file(layout, {{0x123456}})), 0);
    }
    layout.bits = 16;
    layout.masks = {0x1F0000, 0x3E0, 0x1F};
    EXPECT_EQ(catch_over_old_image(test::bmp_file(layout, {{0x1234}})), 0) << "mask past 16 bits";
    layout.bits = 24; // bit fields are read only for 16 and 32 bits
    layout.masks = {0xFF0000, 0xFF00, 0xFF};
    EXPECT_EQ(catch_over_old_image(test::bmp_file(layout, {{0x123456}})), 0);
}

TEST_F(BmpReadData, NullOrEmptyDataFails) {
    ASSERT_NE(image_create(11, 1, 1, 32), 0);
    EXPECT_EQ(image_catch(11, nullptr, 100), 0);
    EXPECT_EQ(image_is_valid(11), 0);
    std::uint8_t some = 'B';
    EXPECT_EQ(image_catch(11, &some, 0), 0);
    EXPECT_EQ(image_catch(NUMBER_ANY, &some, 1), 0);
}

} // namespace
} // namespace korvel
