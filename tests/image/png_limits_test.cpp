// Files that claim more memory than they hold: headers of huge pictures with a few kilobytes of
// data, and compressed chunks that inflate to a gigabyte. Each is refused or read within the
// per-image pixel cap, quickly, and without the process's peak memory growing by more than a
// small bound; every measurement runs in a child process of its own.
#include "crafted_png.h"
#include "dib_bytes.h"
#include "forked_measure.h"
#include "png_fixture.h"
#include "temp_folder.h"

#include "image/codec.h"
#include "image/image.h"
#include "image/pixel_budget.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <functional>

namespace korvel::test {
namespace {

constexpr std::int64_t GROWTH_LIMIT_KIB = 96 * 1024;
// Sanitizer builds run several times slower; a load that allocated and filled gigabytes would
// still take far longer than this.
constexpr double TIME_LIMIT_SECONDS = 5;

class ImageLimits : public ::testing::Test {
protected:
    void SetUp() override { register_png_codecs(); }

    // The work, run and measured in a child; its libpng warnings are kept off the test's output.
    static measured_run measured(const std::function<bool()>& work) {
        ::testing::internal::CaptureStderr();
        const measured_run run = run_measured(work);
        ::testing::internal::GetCapturedStderr();
        return run;
    }

    // Loading the file from disk and catching its bytes from memory both give `loads`, within
    // the time and memory bounds.
    void expect_bounded(const std::vector<std::uint8_t>& file, bool loads) {
        folder_.write("crafted.png", file);
        const std::u16string name = folder_.name16("crafted.png");
        const measured_run run = measured([&] {
            const bool from_file = image_load(NUMBER_ANY, name.c_str()) != 0;
            const bool from_memory = image_catch(NUMBER_ANY, file.data(), file.size()) != 0;
            return from_file == loads && from_memory == loads;
        });
        ASSERT_TRUE(run.finished) << "the load crashed or was killed";
        EXPECT_TRUE(run.result) << (loads ? "expected to load" : "expected to be refused");
        EXPECT_LT(run.seconds, TIME_LIMIT_SECONDS);
        EXPECT_LT(run.peak_growth_kib, GROWTH_LIMIT_KIB);
    }

    // A file of the given size whose first bytes are head and the rest a hole that reads as
    // zeros: it passes every check of the data's length without using the disk.
    std::u16string sparse_file(const std::vector<std::uint8_t>& head, std::uint64_t size) {
        folder_.write("sparse", head);
        EXPECT_EQ(truncate(folder_.path("sparse").c_str(), static_cast<off_t>(size)), 0);
        return folder_.name16("sparse");
    }

    void expect_file_refused(const std::u16string& name) {
        const measured_run run =
            measured([&] { return image_load(NUMBER_ANY, name.c_str()) == 0; });
        ASSERT_TRUE(run.finished) << "the load crashed or was killed";
        EXPECT_TRUE(run.result) << "expected to be refused";
        EXPECT_LT(run.seconds, TIME_LIMIT_SECONDS);
        EXPECT_LT(run.peak_growth_kib, GROWTH_LIMIT_KIB);
    }

    // The picture is read through a chunk that inflates to 1 GiB: libpng stops at its chunk
    // limit, drops the chunk and decodes the pixels.
    static void expect_picture_despite(const png_picture& picture,
                                       const std::vector<std::uint8_t>& file) {
        const measured_run run = run_measured([&] {
            const obj_number id = image_catch(NUMBER_ANY, file.data(), file.size());
            const bool right =
                id != 0 && image_width(id) == picture.width && image_height(id) == picture.height;
            image_free(id);
            return right;
        });
        ASSERT_TRUE(run.finished) << "the load crashed or was killed";
        EXPECT_TRUE(run.result) << "the picture itself should load";
        EXPECT_LT(run.seconds, TIME_LIMIT_SECONDS);
        EXPECT_LT(run.peak_growth_kib, GROWTH_LIMIT_KIB);
    }

    temp_folder folder_;
};

constexpr std::uint64_t MIB = std::uint64_t{1} << 20;

// A picture of that size whose image data is that many zeros.
std::vector<std::uint8_t> claimed_picture(std::uint32_t width, std::uint32_t height,
                                          int colour_type, std::uint64_t zeros) {
    return png_from_chunks(
        {{"IHDR", header_data(width, height, colour_type)}, {"IDAT", zlib_zeros(zeros)}});
}

TEST_F(ImageLimits, HeadersClaimingMoreThanTheCapAreRefusedBeforeAnyPixelMemory) {
    // A few kilobytes claiming 4 GiB.
    const std::vector<std::uint8_t> few =
        claimed_picture(32767, 32767, PNG_COLOR_TYPE_RGBA, 16 * MIB);
    EXPECT_LT(few.size(), 64u * 1024);
    expect_bounded(few, false);
    // Four megabytes holding every row of it, which decoding would write out in full.
    expect_bounded(claimed_picture(32767, 32767, PNG_COLOR_TYPE_RGBA, 4096 * MIB), false);
    // Grey and palette pictures become 24-bit images, which are still over 3 GiB.
    expect_bounded(claimed_picture(32767, 32767, PNG_COLOR_TYPE_GRAY, 4096 * MIB), false);
    expect_bounded(claimed_picture(32767, 32767, PNG_COLOR_TYPE_RGB, 4096 * MIB), false);
    // One row past 1 GiB of 32-bit pixels, with every row there.
    expect_bounded(claimed_picture(16384, 16385, PNG_COLOR_TYPE_RGBA, 1025 * MIB), false);
}

TEST_F(ImageLimits, TheCapAppliesToEveryBitmapAndIcon) {
    EXPECT_TRUE(pixel_memory_allowed(16384 * 4, 16384));
    EXPECT_FALSE(pixel_memory_allowed(16384 * 4, 16385));
    EXPECT_FALSE(pixel_memory_allowed(0, 5));
    // Exactly the cap; pixel memory that is never written is never touched.
    const image_handle_t largest = bitmap_create(16384, 16384, 32);
    EXPECT_NE(largest, 0u);
    bitmap_delete(largest);
    EXPECT_EQ(bitmap_create(16385, 16384, 32), 0u);
    EXPECT_EQ(bitmap_create(32767, 32767, 24), 0u);
    const std::vector<std::uint8_t> pixel(4, 0);
    EXPECT_EQ(icon_create(32767, 32767, 32, pixel.data()), 0u);
    EXPECT_EQ(image_create(NUMBER_ANY, 32767, 32767, 32), 0);
}

TEST_F(ImageLimits, ABmpFileOverTheCapIsRefusedWithoutReadingItsRows) {
    dib_layout layout;
    layout.bits = 32;
    bytes head = bmp_file(layout, {{0xFF102030}});
    // Files keep 32-bit rows at 24 bits, so it takes this much to pass the cap.
    const std::uint32_t width = 32767;
    const std::uint32_t height = 32767;
    put_u32(head, 18, width);
    put_u32(head, 22, height);
    expect_file_refused(sparse_file(head, head.size() + std::uint64_t{width} * 4 * height));
}

TEST_F(ImageLimits, AnIconEntryOverTheCapIsRefusedBeforeItsDataIsRead) {
    dib_layout layout;
    layout.bits = 32;
    layout.height_factor = 2;
    bytes image = dib_image(layout, {{0xFF102030}});
    const bytes mask = mask_rows({{0}});
    image.insert(image.end(), mask.begin(), mask.end());
    bytes head = icon_file({{1, 1, 32, image}});
    const std::uint32_t side = 32767;
    const std::uint64_t claimed = std::uint64_t{3} << 30;
    put_u32(head, 14, static_cast<std::uint32_t>(claimed));
    put_u32(head, 22 + 4, side);
    put_u32(head, 22 + 8, 2 * side);
    expect_file_refused(sparse_file(head, 22 + claimed));
}

// A small true picture with the chunk inserted right after IHDR.
std::vector<std::uint8_t> picture_with_chunk(const png_picture& picture, const std::string& type,
                                             const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> file = png_file_bytes(picture);
    const std::vector<std::uint8_t> chunk = png_chunk_bytes(type, data);
    file.insert(file.begin() + 8 + 25, chunk.begin(), chunk.end());
    return file;
}

std::vector<std::uint8_t> keyword_then(const std::string& keyword,
                                       const std::vector<std::uint8_t>& compressed) {
    std::vector<std::uint8_t> data(keyword.begin(), keyword.end());
    data.insert(data.end(), {0, 0}); // the keyword's end and compression method 0
    data.insert(data.end(), compressed.begin(), compressed.end());
    return data;
}

TEST_F(ImageLimits, CompressedTextThatInflatesToAGigabyteIsDroppedAndThePictureLoads) {
    const png_picture picture = varied_picture(13, 7, PNG_COLOR_TYPE_RGB_ALPHA, 8);
    const std::vector<std::uint8_t> bomb = zlib_zeros(std::uint64_t{1} << 30);
    EXPECT_LT(bomb.size(), 2u << 20);
    ::testing::internal::CaptureStderr();
    expect_picture_despite(picture,
                           picture_with_chunk(picture, "zTXt", keyword_then("Comment", bomb)));
    std::vector<std::uint8_t> international{'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 1, 0, 0, 0};
    international.insert(international.end(), bomb.begin(), bomb.end());
    expect_picture_despite(picture, picture_with_chunk(picture, "iTXt", international));
    ::testing::internal::GetCapturedStderr();
}

TEST_F(ImageLimits, AnIccProfileThatInflatesToAGigabyteIsDroppedAndThePictureLoads) {
    const png_picture picture = varied_picture(13, 7, PNG_COLOR_TYPE_RGB, 8);
    ::testing::internal::CaptureStderr();
    // A profile of zeros, and one whose header claims to be 1 GiB long.
    const std::vector<std::uint8_t> zeros = zlib_zeros(std::uint64_t{1} << 30);
    expect_picture_despite(picture,
                           picture_with_chunk(picture, "iCCP", keyword_then("icc", zeros)));
    const std::vector<std::uint8_t> claiming = zlib_stream({0x40, 0, 0, 0}, std::uint64_t{1} << 30);
    expect_picture_despite(picture,
                           picture_with_chunk(picture, "iCCP", keyword_then("icc", claiming)));
    ::testing::internal::GetCapturedStderr();
}

// The picture's own file with its image data followed, in the same stream, by zeros up to a
// gigabyte.
std::vector<std::uint8_t> with_gigabyte_of_trailing_data(const std::vector<std::uint8_t>& file) {
    const std::vector<png_chunk> chunks = png_chunks(file);
    return png_from_chunks(
        {{"IHDR", chunks.front().data},
         {"IDAT", zlib_stream(inflated_image_data(chunks), std::uint64_t{1} << 30)}});
}

// The same bytes in the same layout, row by row.
bool same_pixels(obj_number a, obj_number b) {
    const bitmap* first = bitmap_get(image_handle(a));
    const bitmap* second = bitmap_get(image_handle(b));
    if (first == nullptr || second == nullptr || first->stride != second->stride ||
        first->height != second->height)
        return false;
    const std::size_t size = static_cast<std::size_t>(first->stride) * first->height;
    return std::equal(first->pixels, first->pixels + size, second->pixels);
}

TEST_F(ImageLimits, ImageDataGoingOnPastTheLastRowIsNotInflatedAndEveryRowIsKept) {
    for (const bool interlaced : {false, true}) {
        png_picture picture = varied_picture(16, 16, PNG_COLOR_TYPE_RGB_ALPHA, 8);
        picture.interlaced = interlaced;
        const std::vector<std::uint8_t> plain = png_file_bytes(picture);
        const std::vector<std::uint8_t> padded = with_gigabyte_of_trailing_data(plain);
        const measured_run run = measured([&] {
            const obj_number expected = image_catch(NUMBER_ANY, plain.data(), plain.size());
            const obj_number loaded = image_catch(NUMBER_ANY, padded.data(), padded.size());
            return same_pixels(expected, loaded);
        });
        ASSERT_TRUE(run.finished) << "the load crashed or was killed";
        EXPECT_TRUE(run.result) << "every row should be kept; interlaced: " << interlaced;
        // Inflating the whole gigabyte takes several seconds even in an optimised build.
        EXPECT_LT(run.seconds, 1.0) << "interlaced: " << interlaced;
        EXPECT_LT(run.peak_growth_kib, GROWTH_LIMIT_KIB);
    }
}

} // namespace
} // namespace korvel::test
