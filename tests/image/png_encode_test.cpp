// The PNG encoder: 24- and 32-bit pixel memory of any size, row order and padding becomes an 8-bit
// RGB or RGBA file of IHDR, IDAT chunks of 8192 bytes and IEND that libpng decodes to exactly those
// pixels; a frame written on its way out of memory gives the same file and is always freed, and
// with other settings is filtered, compressed or composited to RGB as asked.
#include "tests/image/image_files.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/test_png.h"

#include "image/codec.h"
#include "image/image.h"
#include "image/png_codec.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <utility>

namespace korvel::test {
namespace {

// Pixel memory as images hold it, blue, green, red(, alpha) in rows of stride bytes, of noise
// with a marker in the row padding, which must never reach the file.
struct pixel_memory {
    int width, height, bytes_per_pixel;
    std::uint32_t row_flags;
    int stride = (width * bytes_per_pixel + 3) / 4 * 4;
    bytes pixels = bytes(std::size_t(stride) * height, '\xEE');

    pixel_memory(int w, int h, int size, std::uint32_t flags)
        : width(w), height(h), bytes_per_pixel(size), row_flags(flags) {
        std::uint32_t state = 99991; // noise, which compresses badly
        for (std::size_t i = 0; i < pixels.size(); ++i, state = state * 1664525 + 1013904223)
            if (int(i % stride) < width * bytes_per_pixel) pixels[i] = char(state >> 24);
    }
    int type() const { return bytes_per_pixel == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA; }
    std::int32_t encode(const std::u16string& name) const {
        return png_encode(name.c_str(), reinterpret_cast<const std::uint8_t*>(pixels.data()), width,
                          height, stride, row_flags, 0, 32, type());
    }
    // The picture from the top as libpng decodes the file: red, green, blue, alpha.
    bytes rgba() const {
        bytes out;
        for (int i = 0; i < width * height; ++i) {
            const int row = (row_flags & ROWS_BOTTOM_UP) ? height - 1 - i / width : i / width;
            const char* p = &pixels[std::size_t(row) * stride + i % width * bytes_per_pixel];
            out += bytes{p[2], p[1], p[0], bytes_per_pixel == 4 ? p[3] : '\xFF'};
        }
        return out;
    }
};

TEST(PngEncoder, WritesIdatChunksThatLibpngDecodesToThePixelsAndFramesOnTheirWayOutAlike) {
    scratch_folder folder;
    // clang-format off
    for (const pixel_memory& m : {pixel_memory{1, 1, 4, ROWS_BOTTOM_UP}, {7, 1, 3, ROWS_BOTTOM_UP}, {1, 9, 4, 0},
                                  {5, 3, 3, 0}, {33, 17, 3, ROWS_BOTTOM_UP}, {250, 131, 4, ROWS_BOTTOM_UP}}) {
        // clang-format on
        SCOPED_TRACE(testing::Message() << m.width << "x" << m.height << "x" << m.bytes_per_pixel);
        ASSERT_NE(m.encode(folder.name("out.png")), 0);
        const bytes file = read_file(folder.path("out.png"));
        const chunk_list chunks = png_chunks(file);
        ASSERT_GE(chunks.size(), 3u);
        EXPECT_EQ(chunks.front().second, png_header(m.width, m.height, m.type()));
        bytes layout, want = "IHDR "; // IDAT chunks of 8192 bytes but the last
        for (const auto& [type, data] : chunks)
            layout += type + (data.size() == 8192 ? "* " : " ");
        for (std::size_t i = 3; i < chunks.size(); ++i)
            want += "IDAT* ";
        EXPECT_EQ(layout, want + "IDAT IEND ");
        const rgba_image decoded = read_png_rgba(folder.path("out.png"));
        EXPECT_EQ(bytes(decoded.rgba.begin(), decoded.rgba.end()), m.rgba());
        if (m.bytes_per_pixel == 3 || m.row_flags != ROWS_BOTTOM_UP) continue;
        const image_handle_t frame = bitmap_create(m.width, m.height, 32); // as a render saves it
        std::copy(m.pixels.begin(), m.pixels.end(), bitmap_get(frame)->pixels);
        EXPECT_NE(png_encode_releasing(frame, folder.name("frame.png").c_str()), 0);
        EXPECT_EQ(bitmap_get(frame), nullptr) << "freed on the way";
        EXPECT_EQ(read_file(folder.path("frame.png")), file);
    }
    // Only 32-bit canvases are frames; each is freed whatever happens, and failures write nothing.
    for (const auto& [frame, leaf] : {std::pair{bitmap_create(1, 1, 32), "missing/out.png"},
                                      {bitmap_create(1, 1, 24), "24.png"},
                                      {0u, "0.png"}}) {
        EXPECT_EQ(png_encode_releasing(frame, folder.name(leaf).c_str()), 0) << leaf;
        EXPECT_EQ(bitmap_get(frame), nullptr) << leaf;
        EXPECT_FALSE(path_exists(folder.path(leaf))) << leaf;
    }
    EXPECT_EQ(png_encode_releasing(bitmap_create(1, 1, 32), u"/dev/full"), 0) << "a full disk";
}

// What each filter is good at: a smooth pattern, partly transparent, rows repeating the one above,
// falling ramps and rows of samples halfway between the one to their left and the one above; an
// odd width ends rows part way through a pixel block.
rgba_image varied_picture() {
    rgba_image picture = pattern_image(37, 24, 5, true);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            std::uint8_t* p = picture.at(x, y);
            if (y % 4 == 1) std::copy_n(picture.at(x, y - 1), 4, p);
            if (y % 4 == 2) p[0] = p[1] = p[2] = std::uint8_t(120 - x);
            for (int c = 0; c < 4 && y % 4 == 3; ++c)
                p[c] = std::uint8_t(((x > 0 ? p[c - 4] : 0) + picture.at(x, y - 1)[c]) / 2);
        }
    }
    return picture;
}

// The canvas of a render: bottom-up rows of blue, green, red, alpha.
image_handle_t frame_of(const rgba_image& picture) {
    const image_handle_t frame = bitmap_create(picture.width, picture.height, 32);
    const bitmap* b = bitmap_get(frame);
    for (int i = 0; i < picture.width * picture.height; ++i) {
        const std::uint8_t* p = &picture.rgba[std::size_t(i) * 4];
        std::uint8_t* bgra =
            b->pixels + (b->height - 1 - i / b->width) * b->stride + i % b->width * 4;
        std::copy_n(std::array{p[2], p[1], p[0], p[3]}.begin(), 4, bgra);
    }
    return frame;
}

// Each channel c · alpha + background · (255 - alpha), over 255 rounded to nearest.
rgba_image over_background(rgba_image picture, std::uint32_t background) {
    for (std::size_t i = 0; i < picture.rgba.size(); i += 4) {
        const int alpha = std::exchange(picture.rgba[i + 3], 255);
        for (int c = 0; c < 3; ++c) {
            const int under = background >> (16 - 8 * c) & 0xFF;
            picture.rgba[i + c] = (picture.rgba[i + c] * alpha + under * (255 - alpha) + 127) / 255;
        }
    }
    return picture;
}

// The file's image data inflated by zlib: each row its filter type byte, then its samples.
std::vector<bytes> inflated_rows(const std::string& path, int height, std::size_t row_size) {
    bytes idat, rows(row_size * height, '\0');
    for (const auto& [type, data] : png_chunks(read_file(path)))
        if (type == "IDAT") idat += data;
    uLongf size = rows.size();
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(rows.data()), &size,
                         reinterpret_cast<const Bytef*>(idat.data()), idat.size()),
              Z_OK);
    std::vector<bytes> out;
    for (std::size_t at = 0; at < size; at += row_size)
        out.push_back(rows.substr(at, row_size));
    return out;
}

// The samples' sum of magnitudes, read as signed, which the adaptive filter keeps smallest, and
// the type byte, the lower of which it keeps on a tie.
std::pair<int, int> adaptive_rank(const bytes& row) {
    int sum = 0;
    for (std::size_t i = 1; i < row.size(); ++i)
        sum += std::abs(int(static_cast<std::int8_t>(row[i])));
    return {sum, row[0]};
}

TEST(PngEncoder, FramesGiveBackThePixelsBehindTheFilterBytesAskedAtEveryLevelAsRgbaOrRgb) {
    using enum png_row_filter;
    scratch_folder folder;
    const std::string path = folder.path("out.png");
    const rgba_image picture = varied_picture();
    for (const bool rgb : {false, true}) {
        std::map<png_row_filter, std::vector<bytes>> rows_of;
        std::map<int, std::uintmax_t> size_at;
        for (const png_row_filter filter : {none, sub, up, paeth, adaptive}) {
            for (int level = 0; level <= 12; ++level) {
                SCOPED_TRACE(testing::Message()
                             << "rgb " << rgb << ", filter " << int(filter) << ", level " << level);
                ASSERT_NE(png_encode_releasing(frame_of(picture), folder.name("out.png").c_str(),
                                               {level, filter, rgb, 0x3080F0}),
                          0);
                EXPECT_EQ(read_png(path).colour_type,
                          rgb ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA);
                EXPECT_EQ(read_png_rgba(path), rgb ? over_background(picture, 0x3080F0) : picture);
                rows_of[filter] =
                    inflated_rows(path, picture.height, picture.width * (rgb ? 3 : 4) + 1);
                std::set<int> types; // adaptive meets more than one kind of row
                for (const bytes& row : rows_of[filter])
                    types.insert(row[0]);
                EXPECT_TRUE(filter == adaptive ? types.size() > 1 : types == std::set{int(filter)});
                size_at[level] = std::filesystem::file_size(path);
            }
        }
        EXPECT_GT(size_at[0], size_at[12]) << "level 0 stores the rows as they are";
        for (std::size_t y = 0; y < rows_of[adaptive].size(); ++y)
            for (const auto& [fixed, rows] : rows_of)
                EXPECT_LE(adaptive_rank(rows_of[adaptive][y]), adaptive_rank(rows.at(y))) << y;
    }
}

} // namespace
} // namespace korvel::test
