// The true-colour PNG files: decoded by libpng they give back exactly the pixels they were written
// from, whatever the size, depth, row order and row padding; their image data inflates to
// unfiltered rows in file order inside IDAT chunks between IHDR and IEND; on rendered frames they
// are no larger than zlib's level 9 makes the same rows; failures leave nothing half-done; several
// threads encoding at once write the same bytes as one; a canvas written and released on the way
// gives the same file and is freed however the write ends.
#include "encode_workloads.h"
#include "png_fixture.h"
#include "temp_folder.h"

#include "image/bitmap.h"
#include "image/codec.h"
#include "image/png_codec.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace korvel::test {
namespace {

// Pixel memory as an image holds it: rows of stride bytes, the picture's pixels in blue, green,
// red(, alpha) and a marker in the padding that must never reach the file.
struct pixel_memory {
    std::int32_t width;
    std::int32_t height;
    std::int32_t bytes_per_pixel;
    std::uint32_t row_flags;
    std::int32_t stride;
    std::vector<std::uint8_t> bytes;

    const std::uint8_t* row_of_picture(std::int32_t y) const {
        const std::int32_t memory_row = (row_flags & ROWS_BOTTOM_UP) ? height - 1 - y : y;
        return &bytes[static_cast<std::size_t>(memory_row) * stride];
    }
    std::int32_t colour_type() const {
        return bytes_per_pixel == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA;
    }
};

constexpr std::uint8_t padding_marker = 0xEE;

pixel_memory varied_memory(std::int32_t width, std::int32_t height, std::int32_t bytes_per_pixel,
                           std::uint32_t row_flags) {
    const std::int32_t stride = (width * bytes_per_pixel + 3) / 4 * 4;
    pixel_memory memory{
        width,
        height,
        bytes_per_pixel,
        row_flags,
        stride,
        std::vector<std::uint8_t>(static_cast<std::size_t>(stride) * height, padding_marker)};
    std::uint32_t state = 99991;
    for (std::int32_t row = 0; row < height; ++row) {
        std::uint8_t* p = &memory.bytes[static_cast<std::size_t>(row) * stride];
        for (std::int32_t i = 0; i < width * bytes_per_pixel; ++i) {
            state = state * 1664525u + 1013904223u;
            p[i] = static_cast<std::uint8_t>(state >> 24);
        }
    }
    return memory;
}

pixel_memory workload_memory(std::vector<std::uint8_t> bgra_bottom_up, std::int32_t width,
                             std::int32_t height) {
    return {width, height, 4, ROWS_BOTTOM_UP, width * 4, std::move(bgra_bottom_up)};
}

std::int32_t encode(const pixel_memory& memory, const std::u16string& path) {
    return png_encode(path.c_str(), memory.bytes.data(), memory.width, memory.height, memory.stride,
                      memory.row_flags, 0, 32, memory.colour_type());
}

// The picture as libpng decodes the file, in memory byte order, top row first, rows packed.
std::vector<std::uint8_t> decoded_by_libpng(const std::string& path, std::int32_t bytes_per_pixel,
                                            std::int32_t* width, std::int32_t* height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = bytes_per_pixel == 4 ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
    std::vector<std::uint8_t> picture(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.data(), 0, nullptr)) return {};
    *width = static_cast<std::int32_t>(image.width);
    *height = static_cast<std::int32_t>(image.height);
    return picture;
}

std::vector<std::uint8_t> packed_picture(const pixel_memory& memory) {
    std::vector<std::uint8_t> picture;
    for (std::int32_t y = 0; y < memory.height; ++y) {
        const std::uint8_t* row = memory.row_of_picture(y);
        picture.insert(picture.end(), row, row + memory.width * memory.bytes_per_pixel);
    }
    return picture;
}

// What the file's image data must inflate to: each picture row behind filter byte 0, samples
// red, green, blue(, alpha).
std::vector<std::uint8_t> expected_filtered_rows(const pixel_memory& memory) {
    std::vector<std::uint8_t> rows;
    for (std::int32_t y = 0; y < memory.height; ++y) {
        const std::uint8_t* p = memory.row_of_picture(y);
        rows.push_back(0);
        for (std::int32_t x = 0; x < memory.width; ++x, p += memory.bytes_per_pixel) {
            rows.insert(rows.end(), {p[2], p[1], p[0]});
            if (memory.bytes_per_pixel == 4) rows.push_back(p[3]);
        }
    }
    return rows;
}

std::size_t image_data_size(const std::vector<png_chunk>& chunks) {
    std::size_t size = 0;
    for (const png_chunk& chunk : chunks)
        if (chunk.type == "IDAT") size += chunk.data.size();
    return size;
}

std::size_t zlib_level_9_size(const std::vector<std::uint8_t>& rows) {
    uLongf size = compressBound(static_cast<uLong>(rows.size()));
    std::vector<std::uint8_t> out(size);
    if (compress2(out.data(), &size, rows.data(), static_cast<uLong>(rows.size()), 9) != Z_OK)
        return 0;
    return size;
}

struct layout {
    std::int32_t width;
    std::int32_t height;
    std::int32_t bytes_per_pixel;
    std::uint32_t row_flags;
};

void PrintTo(const layout& l, std::ostream* out) {
    *out << l.width << " x " << l.height << " at " << l.bytes_per_pixel * 8 << " bits, "
         << ((l.row_flags & ROWS_BOTTOM_UP) ? "bottom-up" : "top-down");
}

std::string layout_name(const ::testing::TestParamInfo<layout>& info) {
    const layout& l = info.param;
    return std::to_string(l.width) + "x" + std::to_string(l.height) + "_" +
           std::to_string(l.bytes_per_pixel * 8) + "bit_" +
           ((l.row_flags & ROWS_BOTTOM_UP) ? "bottom_up" : "top_down");
}

class PngTrueColourLayouts : public ::testing::TestWithParam<layout> {
protected:
    temp_folder folder;
};

TEST_P(PngTrueColourLayouts, LibpngDecodesExactlyThePixelsWrittenAndTheRowsAreUnfiltered) {
    const layout l = GetParam();
    const pixel_memory memory = varied_memory(l.width, l.height, l.bytes_per_pixel, l.row_flags);
    ASSERT_NE(encode(memory, folder.name16("out.png")), 0);

    std::int32_t width = 0, height = 0;
    const std::vector<std::uint8_t> decoded =
        decoded_by_libpng(folder.path("out.png"), l.bytes_per_pixel, &width, &height);
    ASSERT_FALSE(decoded.empty()) << "libpng refused the file";
    EXPECT_EQ(width, l.width);
    EXPECT_EQ(height, l.height);
    EXPECT_EQ(decoded, packed_picture(memory));

    const std::vector<png_chunk> chunks = png_chunks(folder.read("out.png"));
    EXPECT_EQ(inflated_image_data(chunks), expected_filtered_rows(memory));
}

INSTANTIATE_TEST_SUITE_P(
    SizesDepthsAndRowOrders, PngTrueColourLayouts,
    ::testing::Values(layout{1, 1, 4, ROWS_BOTTOM_UP}, layout{1, 1, 3, ROWS_BOTTOM_UP},
                      layout{7, 1, 3, ROWS_BOTTOM_UP}, layout{1, 9, 3, ROWS_BOTTOM_UP},
                      layout{1, 9, 4, 0}, layout{5, 3, 3, 0}, layout{33, 17, 3, ROWS_BOTTOM_UP},
                      layout{33, 17, 4, ROWS_BOTTOM_UP}, layout{250, 131, 4, ROWS_BOTTOM_UP},
                      layout{251, 129, 3, ROWS_BOTTOM_UP}),
    layout_name);

class PngTrueColour : public ::testing::Test {
protected:
    temp_folder folder;
};

TEST_F(PngTrueColour, FramesTheImageDataInIdatChunksOfLibpngsSizeBetweenHeaderAndEnd) {
    // Noise does not compress: the image data needs many chunks.
    const pixel_memory memory = varied_memory(160, 120, 4, ROWS_BOTTOM_UP);
    ASSERT_NE(encode(memory, folder.name16("out.png")), 0);
    const std::vector<png_chunk> chunks = png_chunks(folder.read("out.png"));
    ASSERT_GE(chunks.size(), 4u);
    EXPECT_EQ(chunks.front().type, "IHDR");
    EXPECT_EQ(chunks.back().type, "IEND");
    EXPECT_TRUE(chunks.back().data.empty());
    for (std::size_t i = 1; i + 1 < chunks.size(); ++i) {
        EXPECT_EQ(chunks[i].type, "IDAT") << "chunk " << i;
        if (i + 2 < chunks.size()) {
            EXPECT_EQ(chunks[i].data.size(), 8192u) << "chunk " << i;
        }
    }
    EXPECT_GT(chunks[chunks.size() - 2].data.size(), 0u);
    EXPECT_GE(image_data_size(chunks), 160u * 120u * 4u);
}

TEST_F(PngTrueColour, RenderedFramesAreNoLargerThanZlibLevel9MakesTheSameRows) {
    constexpr std::int32_t width = 960, height = 540;
    const struct {
        const char* name;
        pixel_memory memory;
    } frames[] = {
        {"from RGB inputs", workload_memory(frame_from_rgb_inputs(width, height), width, height)},
        {"from RGBA inputs", workload_memory(frame_from_rgba_inputs(width, height), width, height)},
    };
    for (const auto& frame : frames) {
        SCOPED_TRACE(frame.name);
        ASSERT_NE(encode(frame.memory, folder.name16("frame.png")), 0);
        const std::vector<png_chunk> chunks = png_chunks(folder.read("frame.png"));
        const std::vector<std::uint8_t> rows = inflated_image_data(chunks);
        ASSERT_EQ(rows, expected_filtered_rows(frame.memory));
        const std::size_t reference = zlib_level_9_size(rows);
        ASSERT_GT(reference, 0u);
        EXPECT_LE(image_data_size(chunks), reference);
    }
}

TEST_F(PngTrueColour, WritesNothingIntoAFolderThatDoesNotExist) {
    const pixel_memory memory = varied_memory(9, 4, 4, ROWS_BOTTOM_UP);
    EXPECT_EQ(encode(memory, folder.name16("missing/out.png")), 0);
    EXPECT_FALSE(std::filesystem::exists(folder.path("missing")));
    EXPECT_TRUE(folder.entries().empty());
}

TEST_F(PngTrueColour, RefusesPicturesWithoutPixelsOrBeyondWhatTheHeaderMayHold) {
    const pixel_memory memory = varied_memory(4, 4, 4, ROWS_BOTTOM_UP);
    pixel_memory empty = memory;
    empty.width = 0;
    EXPECT_EQ(encode(empty, folder.name16("empty.png")), 0);
    pixel_memory negative = memory;
    negative.height = -4;
    EXPECT_EQ(encode(negative, folder.name16("negative.png")), 0);
    EXPECT_EQ(png_encode(u"/dev/null", nullptr, 4, 4, 16, ROWS_BOTTOM_UP, 0, 32,
                         PNG_COLOR_TYPE_RGB_ALPHA),
              0);

    // libpng itself refuses a row wider than it allows by default, after the image data is made:
    // the failure must come back as 0 with everything released.
    const pixel_memory too_wide{1'000'001, 1,         4,
                                0,         4'000'004, std::vector<std::uint8_t>(4'000'004, 7)};
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(encode(too_wide, folder.name16("wide.png")), 0);
    EXPECT_FALSE(::testing::internal::GetCapturedStderr().empty());
}

TEST_F(PngTrueColour, SeveralThreadsEncodingAtOnceWriteTheBytesOfOne) {
    const pixel_memory memory = workload_memory(frame_from_rgba_inputs(320, 180), 320, 180);
    ASSERT_NE(encode(memory, folder.name16("alone.png")), 0);
    const std::vector<std::uint8_t> alone = folder.read("alone.png");

    constexpr int thread_count = 4;
    std::vector<std::int32_t> results(thread_count, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < thread_count; ++t) {
        threads.emplace_back([&, t] {
            results[t] = encode(memory, folder.name16("thread" + std::to_string(t) + ".png"));
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 0; t < thread_count; ++t) {
        EXPECT_NE(results[t], 0) << "thread " << t;
        EXPECT_EQ(folder.read("thread" + std::to_string(t) + ".png"), alone) << "thread " << t;
    }
}

// A canvas as the render job hands it over: a 32-bit bitmap filled with a workload frame.
image_handle_t canvas_holding(const pixel_memory& memory) {
    const image_handle_t canvas =
        bitmap_create(memory.width, memory.height, memory.bytes_per_pixel * 8);
    bitmap* object = bitmap_get(canvas);
    if (object == nullptr || object->stride != memory.stride) return canvas;
    std::copy(memory.bytes.begin(), memory.bytes.end(), object->pixels);
    return canvas;
}

TEST_F(PngTrueColour, ACanvasWrittenAndReleasedGivesTheCommonWritersFileAndIsFreedWhateverHappens) {
    const pixel_memory memory = workload_memory(frame_from_rgba_inputs(320, 180), 320, 180);
    ASSERT_NE(encode(memory, folder.name16("common.png")), 0);

    const image_handle_t canvas = canvas_holding(memory);
    ASSERT_NE(bitmap_get(canvas), nullptr);
    EXPECT_NE(png_encode_releasing(canvas, folder.name16("released.png").c_str()), 0);
    EXPECT_EQ(bitmap_get(canvas), nullptr);
    EXPECT_EQ(folder.read("released.png"), folder.read("common.png"));

    const image_handle_t unwritable = canvas_holding(memory);
    EXPECT_EQ(png_encode_releasing(unwritable, folder.name16("missing/out.png").c_str()), 0);
    EXPECT_EQ(bitmap_get(unwritable), nullptr);

    // Only 32-bit canvases are frames; anything else is refused, freed all the same.
    const image_handle_t opaque = bitmap_create(8, 8, 24);
    EXPECT_EQ(png_encode_releasing(opaque, folder.name16("opaque.png").c_str()), 0);
    EXPECT_EQ(bitmap_get(opaque), nullptr);
    EXPECT_EQ(png_encode_releasing(0, folder.name16("nothing.png").c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(folder.path("opaque.png")));
    EXPECT_FALSE(std::filesystem::exists(folder.path("nothing.png")));
}

} // namespace
} // namespace korvel::test
