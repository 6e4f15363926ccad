// The BMP and icon readers, from files (named as they are not) and from memory: every bit count at
// the depth it is kept at, with the core header too, bit fields, run-length codes, row order, alpha
// rules, the icon entry chosen with its mask, and damaged or lying data failing with the number
// left empty.
#include "tests/image/image_files.h"
#include "tests/support/scratch_folder.h"

#include "image/bmp_format.h"
#include "image/codec.h"
#include "image/image.h"

#include <gtest/gtest.h>
#include <png.h>

#include <tuple>

namespace korvel::test {
namespace {

using pixel = std::vector<int>; // one pixel's bytes as the image holds them
using row = std::vector<std::uint32_t>;

// 5 x 3 pictures (every bit count needs row padding) of a different value in every pixel; 8-bit
// palettes shorter than 8 bits name (but under the core header, which has no count), 32-bit pixels
// with alpha, 0 among it.
dib_layout layout_for(int bits, std::uint32_t compression = BI_RGB, row masks = {},
                      std::uint32_t header = BMP_INFO_SIZE) {
    dib_layout l{bits, compression, masks,
                 {},   header,      bits == 8 && header > BMP_CORE_SIZE ? 7u : 0};
    for (std::uint32_t i = 0; bits <= 8 && i < (l.colours_used ? 7u : 1u << bits); ++i)
        l.palette.push_back(0x050A0F * i + 0x102030);
    return l;
}
std::uint32_t stored(int bits, std::uint32_t i) {
    return bits <= 8    ? i % (bits == 8 ? 7 : 1 << bits)
           : bits == 16 ? (i << 10 | (31 - i) << 5 | i * 2 % 32 | (i == 3) << 15)
           : bits == 24 ? 0x0A1420 + i * 0x0B0705
                        : (i * 17) << 24 | (0x302010 + i * 0x030201);
}
// Run-length codes, bottom row first, of a 5 x 3 picture.
bytes rle_bmp(int bits, const bytes& codes) {
    dib_layout l = layout_for(bits, bits == 8 ? BI_RLE8 : BI_RLE4);
    l.codes = codes;
    return bmp_file(l, dib_rows(3, row(5)));
}
bytes bmp_for(const dib_layout& l) {
    dib_rows rows(3, row(5));
    for (std::uint32_t i = 0; i < 15; ++i)
        rows[i / 5][i % 5] = stored(l.bits, i);
    return bmp_file(l, rows);
}
// A 3 x 2 icon image of one colour, its top-left pixel transparent by its mask.
bytes icon_image(int bits, std::uint32_t colour) {
    dib_layout l{bits};
    if (bits <= 8) l.palette = {0, colour}, l.colours_used = 2;
    return dib_image(l, dib_rows(2, row(3, bits <= 8 ? 1 : colour)), {{1, 0, 0}, {0, 0, 0}});
}

class DibRead : public testing::Test {
protected:
    obj_number load(const bytes& data, bool from_file) { // over an image under number 0
        image_codecs_ready();
        EXPECT_NE(image_create(0, 1, 1, 32), 0);
        folder.write("picture.png", data);
        return from_file ? image_load(0, folder.name("picture.png").c_str()) : catch_bytes(0, data);
    }
    static pixel pixel_of(int x, int y) { // icons hold 32-bit rows of their own
        const bitmap* b = bitmap_get(image_handle(0));
        const bool icon = b->type == OBJ_ICON;
        const std::uint8_t* p =
            icon ? b->icon_pixels + ((b->height - 1 - y) * b->width + x) * 4
                 : b->pixels + (b->height - 1 - y) * b->stride + x * b->depth / 8;
        return pixel(p, p + (icon ? 4 : b->depth / 8));
    }
    scratch_folder folder;
};

TEST_F(DibRead, EveryBitCountKeepsItsDepthAndPixels) {
    for (const int bits : {1, 4, 8, 16, 24, 32})
        for (const std::uint32_t header :
             {BMP_INFO_SIZE, bits % 16 ? BMP_CORE_SIZE : BMP_INFO_SIZE})
            for (const bool from_file : {true, false}) {
                SCOPED_TRACE(testing::Message()
                             << bits << " bits, header " << header << ", from file " << from_file);
                const dib_layout l = layout_for(bits, BI_RGB, {}, header);
                // Files keep 16-bit pixels as they are and the rest at 24 bits; memory keeps 32.
                const int kept = from_file ? (bits == 16 ? 16 : 24) : (bits == 32 ? 32 : 24);
                ASSERT_NE(load(bmp_for(l), from_file), 0);
                EXPECT_EQ(image_lookup(0)->depth, kept);
                EXPECT_EQ(image_lookup(0)->source_depth, bits);
                for (std::uint32_t i = 0; i < 15; ++i) {
                    const std::uint32_t v =
                        bits <= 8 ? l.palette[stored(bits, i)] : stored(bits, i);
                    const auto five = [v](int at) { return int((v >> at & 31) * 33 >> 2); };
                    pixel want = {int(v & 255), int(v >> 8 & 255), int(v >> 16 & 255),
                                  int(v >> 24)};
                    if (bits == 16 && kept != 16) want = {five(0), five(5), five(10)};
                    want.resize(kept == 16 ? 2 : kept / 8);
                    EXPECT_EQ(pixel_of(i % 5, i / 5), want) << i;
                }
            }
}

// Pictures from the top as palette indices in hex; a run or a delta past the picture's edge is
// cut there, and an end of the bitmap leaves the rest unset.
TEST_F(DibRead, RunLengthCodesSetThePixelsTheyNameAndZeroTheRest) {
    const std::tuple<int, bytes, std::string> cases[] = {
        {8, bytes("\3\1\0\3\2\3\4\0\0\0\0\2\2\1\2\5\0\1", 18), "00550 00000 11123"},
        {4, bytes("\5\x12\0\0\0\3\x34\x50\0\2\1\0\1\x60\0\0\0\5\x78\x9A\xB0\0\0\2\0\5", 26),
         "789ab 34506 12121"},
        {8, bytes("\2\1\0\2\1\2\2\5\0\1", 10), "00055 00000 11000"},
        {8, bytes("\20\6\0\1", 4), "00000 00000 66666"}};
    for (const auto& [bits, codes, want] : cases)
        for (const bool from_file : {true, false}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, from file " << from_file);
            ASSERT_NE(load(rle_bmp(bits, codes), from_file), 0);
            EXPECT_EQ(image_lookup(0)->source_depth, bits);
            for (int i = 0; i < 15; ++i) {
                const std::size_t index =
                    std::stoul(want.substr(i / 5 * 6 + i % 5, 1), nullptr, 16);
                const std::uint32_t v = layout_for(bits).palette[index];
                EXPECT_EQ(pixel_of(i % 5, i / 5),
                          (pixel{int(v & 255), int(v >> 8 & 255), int(v >> 16)}))
                    << i;
            }
        }
}

TEST_F(DibRead, BitFieldsRowOrderAlphaRulesAndIconEntries) {
    dib_layout top_down = layout_for(24),
               v5 = layout_for(32, BI_BITFIELDS, {0xFF, 0xFF00, 0xFF0000, 0xFF000000});
    top_down.top_down = true;
    v5.header_size = BMP_INFO_V5_SIZE; // the largest header holds its masks, alpha included
    const dib_layout rgb565 = layout_for(16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F});
    const dib_rows own = {{0x80102030, 0, 0}, {0, 0, 1}}, none = {{0, 0x102030, 0}, {0, 0, 0}};
    png_picture png(1, 1, PNG_COLOR_TYPE_RGBA, 8);
    png.samples = {50, 60, 70, 80};
    // clang-format off
    bytes deepest = icon_file({{4, icon_image(4, 1)}, {32, icon_image(32, 0)}, {24, icon_image(24, 0x242424)},
                               {8, icon_image(8, 8)}, {24, icon_image(24, 0x999999)}});
    deepest[ICON_DIRECTORY_SIZE + ICON_ENTRY_SIZE] = 4; // the 32-bit entry is of another size
    const struct { bytes data; int source_depth, x, y; pixel want, from_file_want = {}; } cases[] = {
        {bmp_for(top_down), 24, 0, 0, {0x20, 0x14, 0x0A}},
        {bmp_file(rgb565, {{31u << 11 | 32u << 5 | 1}}), 16, 0, 0, {8, 0x82, 0xFF}, {0x01, 0x7E}}, // 5-5-5
        {bmp_file(v5, {{0x40302010}}), 32, 0, 0, {0x30, 0x20, 0x10, 0x40}, {0x30, 0x20, 0x10}},
        {bmp_file(v5, {{0, 0x112233}}), 32, 0, 0, {0, 0, 0, 255}, {0, 0, 0}}, // alpha all 0: opaque
        {icon_file({{24, icon_image(24, 0x112233)}}), 24, 0, 0, {0x33, 0x22, 0x11, 0}},
        {icon_file({{8, icon_image(8, 0x405060)}}), 8, 1, 1, {0x60, 0x50, 0x40, 255}},
        // 32-bit images keep their own alpha, and take the mask's only when theirs is all 0.
        {icon_file({{32, dib_image({32}, own, dib_rows(2, {1, 1, 1}))}}), 32, 0, 0, {0x30, 0x20, 0x10, 0x80}},
        {icon_file({{32, dib_image({32}, none, {{0, 1, 0}, {0, 0, 0}})}}), 32, 1, 0, {0x30, 0x20, 0x10, 0}},
        // Of the entries as large as the first, the first with the highest bit count.
        {deepest, 24, 1, 1, {0x24, 0x24, 0x24, 255}},
        {icon_file({{8, icon_image(8, 0x080808)}, {8, icon_image(8, 0x090909)}}), 8, 1, 1, {8, 8, 8, 255}},
        {icon_file({{32, png_file(png)}}), 32, 0, 0, {70, 60, 50, 80}}}; // compressed: decoded
    // clang-format on
    for (const auto& c : cases)
        for (const bool from_file : {false, true}) {
            SCOPED_TRACE(testing::Message()
                         << "case " << &c - cases << ", from file " << from_file);
            ASSERT_NE(load(c.data, from_file), 0);
            EXPECT_EQ(image_lookup(0)->source_depth, c.source_depth);
            EXPECT_EQ(pixel_of(c.x, c.y),
                      from_file && !c.from_file_want.empty() ? c.from_file_want : c.want);
        }
}

TEST_F(DibRead, DamagedOrLyingDataFails) {
    const bytes bmp = bmp_for(layout_for(8)), icon = icon_file({{24, icon_image(24, 7)}}),
                rle = rle_bmp(4, bytes("\5\x12\0\0\0\3\x34\x50\0\0\0\2\1\0\0\1", 16));
    std::vector<bytes> damaged = {rle_bmp(8, bytes("\1\7\0\1", 4))}; // an index beyond the palette
    for (const bytes& whole : {bmp, icon, rle, bmp_for(layout_for(1)), bmp_for(layout_for(32)),
                               bmp_for(layout_for(4, BI_RGB, {}, BMP_CORE_SIZE))})
        for (std::size_t length = 1; length < whole.size(); ++length) // every truncation
            damaged.push_back(whole.substr(0, length));
    constexpr std::uint32_t info = BMP_FILE_HEADER_SIZE, width = info + BMP_INFO_WIDTH,
                            height = info + BMP_INFO_HEIGHT, used = info + BMP_INFO_COLOURS_USED,
                            entry = ICON_DIRECTORY_SIZE, image = entry + ICON_ENTRY_SIZE;
    // BMP: sizes beyond the data, zero, too large; pixel offsets outside it; unknown header
    // sizes; compression other than runs, and runs at 8 bits for 4-bit indices or top-down; more
    // colours than 8 bits name or too few for the indices; 2 bits.
    // Icons: a cursor, no entries, more than the data holds; image length and offset past the
    // end; header heights without room for rows, beyond the data, top-down; a width beyond it.
    // clang-format off
    const std::uint32_t lies[][3] = { // in the BMP, icon or run-length BMP, offset, value
        {0, width, 30000}, {0, height, 30000}, {0, width, 0}, {0, height, 0x80000000},
        {0, width, 40000}, {0, BMP_FILE_DATA_OFFSET, 0xFFFFFFF0}, {0, BMP_FILE_DATA_OFFSET, 4},
        {0, info, 12}, {0, info, 0xFFFFFFFF}, {0, info + BMP_INFO_COMPRESSION, 4}, {0, used, 300},
        {2, info + BMP_INFO_COMPRESSION, BI_RLE8}, {2, height, std::uint32_t(-3)},
        {0, used, 2}, {0, info + BMP_INFO_BIT_COUNT, 2}, {1, 2, 0x00010002}, {1, 2, 0x00000001},
        {1, 2, 0x00FF0001}, {1, entry + ICON_ENTRY_LENGTH, 0xFFFFFFF0},
        {1, entry + ICON_ENTRY_OFFSET, 0xFFFFFFF0}, {1, image + BMP_INFO_HEIGHT, 1},
        {1, image + BMP_INFO_HEIGHT, 400}, {1, image + BMP_INFO_HEIGHT, std::uint32_t(-4)},
        {1, image + BMP_INFO_WIDTH, 30000}};
    // clang-format on
    for (const auto& [in_icon, at, value] : lies) {
        damaged.push_back(in_icon == 2 ? rle : in_icon ? icon : bmp);
        put_le32(damaged.back(), at, value);
    }
    // Bit fields overlapping, in broken runs, missing a channel, beyond 16 bits.
    for (const row& masks :
         {row{0xFF00, 0xFF00, 0xFF}, {0xF0F0, 0xF0F, 0xF0000}, {0, 0xFF00, 0xFF}})
        damaged.push_back(bmp_file(layout_for(32, BI_BITFIELDS, masks), {{0x123456}}));
    damaged.push_back(bmp_file(layout_for(16, BI_BITFIELDS, {0x1F0000, 0x3E0, 0x1F}), {{0x1234}}));
    for (const bytes& data : damaged) {
        ASSERT_EQ(load(data, false), 0) << data.size() << " bytes";
        ASSERT_EQ(image_is_valid(0), 0);
    }
    EXPECT_EQ(load(bmp.substr(0, bmp.size() - 1), true), 0);
}

} // namespace
} // namespace korvel::test
