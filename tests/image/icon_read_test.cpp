// The icon reader: the entry chosen from the directory, colours and alpha from the mask or the
// image's own alpha, files and memory alike, and damaged data failing cleanly.
#include "dib_bytes.h"
#include "image_fixture.h"
#include "temp_folder.h"
#include "test_codecs.h"

#include <array>

namespace korvel {
namespace {

using test::bytes;
using test::dib_layout;
using test::picture;
using bgra = std::array<std::uint8_t, 4>;

// A bitmap icon image: colour rows with a header counting twice the height, then the mask.
bytes icon_image(dib_layout layout, const picture& colours, const picture& transparent) {
    layout.height_factor = 2;
    bytes image = test::dib_image(layout, colours);
    bytes mask = test::mask_rows(transparent);
    image.insert(image.end(), mask.begin(), mask.end());
    return image;
}

// A 3 by 2 icon image at the given depth whose top-left pixel is transparent by its mask.
bytes sample_image(std::int32_t bits, std::uint32_t shade) {
    dib_layout layout;
    layout.bits = bits;
    picture colours = {{shade, shade, shade}, {shade, shade, shade}};
    if (bits <= 8) {
        layout.palette = {0x000000, shade};
        layout.colours_used = 2;
        colours = {{1, 1, 1}, {1, 1, 1}};
    }
    return icon_image(layout, colours, {{1, 0, 0}, {0, 0, 0}});
}

bgra icon_pixel(const bitmap* icon, std::int32_t x, std::int32_t y) {
    const std::uint8_t* p = icon->icon_pixels + ((icon->height - 1 - y) * icon->width + x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

class IconRead : public test::ImageTest {
protected:
    static obj_number catch_icon(obj_number n, const bytes& data) {
        bytes exact(data);
        return image_catch(n, exact.data(), exact.size());
    }
};

TEST_F(IconRead, BitmapIconTakesItsAlphaFromTheMask) {
    bytes data = test::icon_file({{3, 2, 24, sample_image(24, 0x112233)}});
    ASSERT_NE(catch_icon(0, data), 0);
    const image_record* record = image_lookup(0);
    EXPECT_EQ(object_type(record->handle), OBJ_ICON);
    EXPECT_EQ(record->width, 3);
    EXPECT_EQ(record->height, 2);
    EXPECT_EQ(record->depth, 24);
    EXPECT_EQ(record->source_depth, 24);
    const bitmap* icon = bitmap_of(0);
    EXPECT_EQ(icon->pixels, nullptr);
    EXPECT_EQ(icon_pixel(icon, 0, 0)[3], 0);
    EXPECT_EQ(icon_pixel(icon, 1, 0), (bgra{0x33, 0x22, 0x11, 255}));
    EXPECT_EQ(icon_pixel(icon, 2, 1), (bgra{0x33, 0x22, 0x11, 255}));
}

TEST_F(IconRead, PaletteIconsUseTheirPalette) {
    for (std::int32_t bits : {1, 4, 8}) {
        bytes data = test::icon_file(
            {{3, 2, static_cast<std::uint16_t>(bits), sample_image(bits, 0x405060)}});
        ASSERT_NE(catch_icon(1, data), 0) << bits;
        EXPECT_EQ(image_lookup(1)->source_depth, bits);
        EXPECT_EQ(icon_pixel(bitmap_of(1), 1, 1), (bgra{0x60, 0x50, 0x40, 255})) << bits;
    }
}

TEST_F(IconRead, ThirtyTwoBitIconKeepsItsOwnAlphaUnlessItIsAllZero) {
    dib_layout layout;
    layout.bits = 32;
    picture mask = {{1, 1, 1}, {1, 1, 1}}; // ignored while the image has alpha of its own
    bytes own = icon_image(layout, {{0x80102030, 0xFF102030, 0}, {0, 0, 0x01000000}}, mask);
    ASSERT_NE(catch_icon(2, test::icon_file({{3, 2, 32, own}})), 0);
    EXPECT_EQ(icon_pixel(bitmap_of(2), 0, 0), (bgra{0x30, 0x20, 0x10, 0x80}));
    EXPECT_EQ(icon_pixel(bitmap_of(2), 1, 0)[3], 255);
    EXPECT_EQ(icon_pixel(bitmap_of(2), 2, 1)[3], 1);

    bytes none = icon_image(layout, {{0x102030, 0x102030, 0}, {0, 0, 0}}, {{0, 1, 0}, {0, 0, 0}});
    ASSERT_NE(catch_icon(2, test::icon_file({{3, 2, 32, none}})), 0);
    EXPECT_EQ(icon_pixel(bitmap_of(2), 0, 0), (bgra{0x30, 0x20, 0x10, 255}));
    EXPECT_EQ(icon_pixel(bitmap_of(2), 1, 0)[3], 0);
}

TEST_F(IconRead, ChoosesTheDeepestEntryOfTheFirstEntrysSize) {
    // The 32-bit entry is deeper but of another size; of the 3 by 2 entries the 24-bit ones are
    // deepest and the first of them wins.
    dib_layout big;
    big.bits = 32;
    picture big_rows(4, std::vector<std::uint32_t>(4, 0xFF000000));
    bytes data = test::icon_file({{3, 2, 4, sample_image(4, 0x010101)},
                                  {4, 4, 32, icon_image(big, big_rows, picture(4, {0, 0, 0, 0}))},
                                  {3, 2, 24, sample_image(24, 0x242424)},
                                  {3, 2, 8, sample_image(8, 0x080808)},
                                  {3, 2, 24, sample_image(24, 0x999999)}});
    ASSERT_NE(catch_icon(3, data), 0);
    EXPECT_EQ(image_lookup(3)->source_depth, 24);
    EXPECT_EQ(icon_pixel(bitmap_of(3), 1, 1)[0], 0x24);

    data = test::icon_file(
        {{3, 2, 8, sample_image(8, 0x080808)}, {3, 2, 8, sample_image(8, 0x090909)}});
    ASSERT_NE(catch_icon(3, data), 0);
    EXPECT_EQ(icon_pixel(bitmap_of(3), 1, 1)[0], 0x08) << "equal depths: the first entry";
}

TEST_F(IconRead, CompressedImagesGoToTheRegisteredDecoders) {
    test::register_test_codecs();
    auto shade = [](std::int32_t x, std::int32_t y, std::int32_t c) {
        return static_cast<std::uint8_t>(10 * x + 100 * y + c);
    };
    bytes data = test::icon_file({{3, 2, 32, test::kvt_image(3, 2, 32, 32, 2, shade)}});
    ASSERT_NE(catch_icon(8, data), 0);
    EXPECT_EQ(object_type(image_handle(8)), OBJ_ICON);
    EXPECT_EQ(image_lookup(8)->depth, 32);
    EXPECT_EQ(icon_pixel(bitmap_of(8), 2, 1), (bgra{120, 121, 122, 123}));

    data = test::icon_file({{3, 2, 24, test::kvt_image(3, 2, 24, 24, 2, shade)}});
    ASSERT_NE(catch_icon(8, data), 0);
    EXPECT_EQ(icon_pixel(bitmap_of(8), 1, 0), (bgra{10, 11, 12, 255})) << "no alpha: opaque";
}

TEST_F(IconRead, FileLoadsLikeMemory) {
    test::temp_folder folder;
    bytes data = test::icon_file({{3, 2, 24, sample_image(24, 0x112233)}});
    folder.write("app.png", data); // the name does not decide the reader
    ASSERT_NE(image_load(4, folder.name16("app.png").c_str()), 0);
    ASSERT_NE(catch_icon(5, data), 0);
    const bitmap* from_file = bitmap_of(4);
    const bitmap* from_memory = bitmap_of(5);
    EXPECT_EQ(from_file->type, OBJ_ICON);
    EXPECT_TRUE(std::equal(from_file->icon_pixels, from_file->icon_pixels + 3 * 2 * 4,
                           from_memory->icon_pixels));
}

TEST_F(IconRead, IconImagesCannotBeSaved) {
    test::temp_folder folder;
    ASSERT_NE(catch_icon(6, test::icon_file({{3, 2, 24, sample_image(24, 0x112233)}})), 0);
    EXPECT_EQ(image_save(6, folder.name16("icon.bmp").c_str(), ENCODER_BMP, 0, 24), 0);
    EXPECT_FALSE(folder.exists("icon.bmp"));
}

TEST_F(IconRead, DamagedDirectoriesAndImagesFailCleanly) {
    bytes good = test::icon_file({{3, 2, 24, sample_image(24, 0x112233)}});
    for (std::size_t length = 1; length < good.size(); ++length) {
        ASSERT_EQ(catch_icon(7, bytes(good.begin(), good.begin() + static_cast<long>(length))), 0)
            << length;
    }
    auto with = [&](std::size_t at, std::uint32_t value) {
        bytes changed = good;
        test::put_u32(changed, at, value);
        return changed;
    };
    EXPECT_EQ(catch_icon(7, with(2, 0x00010002)), 0) << "cursor type";
    EXPECT_EQ(catch_icon(7, with(2, 0x00000001)), 0) << "no entries";
    EXPECT_EQ(catch_icon(7, with(2, 0x00FF0001)), 0) << "more entries than the data holds";
    EXPECT_EQ(catch_icon(7, with(14, 0xFFFFFFF0)), 0) << "image length past the end";
    EXPECT_EQ(catch_icon(7, with(18, 0xFFFFFFF0)), 0) << "image offset past the end";
    EXPECT_EQ(catch_icon(7, with(22 + 8, 1)), 0) << "header height without room for rows";
    EXPECT_EQ(catch_icon(7, with(22 + 8, 400)), 0) << "header height beyond the data";
    EXPECT_EQ(catch_icon(7, with(22 + 8, static_cast<std::uint32_t>(-4))), 0) << "top-down";
    EXPECT_EQ(catch_icon(7, with(22 + 4, 30000)), 0) << "width beyond the data";
    EXPECT_EQ(image_is_valid(7), 0);
}

} // namespace
} // namespace korvel
