// The PNG encoder: 24- and 32-bit pixel memory of any size, row order and padding becomes an 8-bit
// RGB or RGBA file of IHDR, IDAT chunks of 8192 bytes and IEND that libpng decodes to exactly those
// pixels; a frame written on its way out of memory gives the same file and is always freed.
#include "tests/image/image_files.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/test_png.h"

#include "image/codec.h"
#include "image/image.h"
#include "image/png_codec.h"

#include <gtest/gtest.h>
#include <png.h>

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

} // namespace
} // namespace korvel::test
