// The PNG decoder through image_load and image_catch: every colour type, bit depth and tRNS case
// becomes 8-bit BGR or BGRA in bottom-up rows; damaged and oversized files fail or load safely.
#include "dib_bytes.h"
#include "png_fixture.h"
#include "temp_folder.h"

#include "image/codec.h"
#include "image/image.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace korvel::test {
namespace {

using bgra = std::array<std::uint8_t, 4>;

struct decode_case {
    const char* name;
    int colour_type;
    int bit_depth;
    bool with_trns;
    std::int32_t depth;        // the image's depth
    std::int32_t source_depth; // as the decoder reports it
};

const decode_case decode_cases[] = {
    {"Grey1", PNG_COLOR_TYPE_GRAY, 1, false, 24, 1},
    {"Grey2", PNG_COLOR_TYPE_GRAY, 2, false, 24, 2},
    {"Grey4", PNG_COLOR_TYPE_GRAY, 4, false, 24, 4},
    {"Grey1Trns", PNG_COLOR_TYPE_GRAY, 1, true, 32, 1},
    {"Grey2Trns", PNG_COLOR_TYPE_GRAY, 2, true, 32, 2},
    {"Grey4Trns", PNG_COLOR_TYPE_GRAY, 4, true, 32, 4},
    {"Grey8", PNG_COLOR_TYPE_GRAY, 8, false, 24, 8},
    {"Grey8TrnsIgnored", PNG_COLOR_TYPE_GRAY, 8, true, 24, 8},
    {"Grey16", PNG_COLOR_TYPE_GRAY, 16, false, 24, 16},
    {"Grey16TrnsIgnored", PNG_COLOR_TYPE_GRAY, 16, true, 24, 16},
    {"Rgb8", PNG_COLOR_TYPE_RGB, 8, false, 24, 24},
    {"Rgb8TrnsIgnored", PNG_COLOR_TYPE_RGB, 8, true, 24, 24},
    {"Rgb16", PNG_COLOR_TYPE_RGB, 16, false, 24, 24},
    {"Rgb16TrnsIgnored", PNG_COLOR_TYPE_RGB, 16, true, 24, 24},
    {"Palette1", PNG_COLOR_TYPE_PALETTE, 1, false, 24, 1},
    {"Palette2", PNG_COLOR_TYPE_PALETTE, 2, false, 24, 2},
    {"Palette4", PNG_COLOR_TYPE_PALETTE, 4, false, 24, 4},
    {"Palette8", PNG_COLOR_TYPE_PALETTE, 8, false, 24, 8},
    {"Palette1Trns", PNG_COLOR_TYPE_PALETTE, 1, true, 32, 1},
    {"Palette2Trns", PNG_COLOR_TYPE_PALETTE, 2, true, 32, 2},
    {"Palette4Trns", PNG_COLOR_TYPE_PALETTE, 4, true, 32, 4},
    {"Palette8Trns", PNG_COLOR_TYPE_PALETTE, 8, true, 32, 8},
    {"GreyAlpha8", PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, 32, 8},
    {"GreyAlpha16", PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, 32, 16},
    {"Rgba8", PNG_COLOR_TYPE_RGB_ALPHA, 8, false, 32, 32},
    {"Rgba16", PNG_COLOR_TYPE_RGB_ALPHA, 16, false, 32, 32},
};

// A picture of the case's layout, odd-sized so that 24-bit rows need padding and every
// interlace pass is partly filled, with a tRNS chunk where the case asks for one.
png_picture case_picture(const decode_case& c, bool interlaced) {
    png_picture picture = varied_picture(13, 11, c.colour_type, c.bit_depth);
    picture.interlaced = interlaced;
    if (c.colour_type == PNG_COLOR_TYPE_PALETTE) {
        const int entries = 1 << c.bit_depth;
        for (int i = 0; i < entries; ++i) {
            picture.palette.push_back({static_cast<png_byte>(i * 7 + 3),
                                       static_cast<png_byte>(255 - i),
                                       static_cast<png_byte>(i * 31 + 100)});
        }
        // Shorter than the palette, so some entries keep the default opacity.
        if (c.with_trns) {
            for (int i = 0; i < (entries + 1) / 2; ++i) {
                picture.palette_alpha.push_back(static_cast<std::uint8_t>(i * 37 % 251));
            }
        }
    } else if (c.with_trns) {
        const std::uint16_t first = picture.sample(0, 0, 0);
        picture.transparent_colour = {first, picture.sample(0, 0, 1 % picture.channels()),
                                      picture.sample(0, 0, 2 % picture.channels())};
    }
    return picture;
}

std::uint8_t to_8_bits(std::uint16_t sample, int bit_depth) {
    if (bit_depth == 16) return static_cast<std::uint8_t>(sample >> 8);
    return static_cast<std::uint8_t>(sample * 255 / ((1 << bit_depth) - 1));
}

// The pixel the decoder must produce, worked out from the stored samples.
bgra expected_pixel(const png_picture& p, std::int32_t x, std::int32_t y) {
    const auto s = [&](int c) { return to_8_bits(p.sample(x, y, c), p.bit_depth); };
    switch (p.colour_type) {
    case PNG_COLOR_TYPE_PALETTE: {
        const std::uint16_t index = p.sample(x, y, 0);
        const png_color& e = p.palette[index];
        const std::uint8_t alpha = index < p.palette_alpha.size() ? p.palette_alpha[index] : 255;
        return {e.blue, e.green, e.red, alpha};
    }
    case PNG_COLOR_TYPE_GRAY: {
        const bool keyed = p.bit_depth < 8 && p.transparent_colour &&
                           p.sample(x, y, 0) == (*p.transparent_colour)[0];
        return {s(0), s(0), s(0), static_cast<std::uint8_t>(keyed ? 0 : 255)};
    }
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return {s(0), s(0), s(0), s(1)};
    case PNG_COLOR_TYPE_RGB:
        return {s(2), s(1), s(0), 255};
    default:
        return {s(2), s(1), s(0), s(3)};
    }
}

const bitmap* image_bitmap(obj_number n) {
    return bitmap_get(image_handle(n));
}

// Every pixel of image n against the picture; the first mismatch is reported.
void expect_pixels(obj_number n, const png_picture& picture) {
    const bitmap* object = image_bitmap(n);
    ASSERT_NE(object, nullptr);
    ASSERT_EQ(object->width, picture.width);
    ASSERT_EQ(object->height, picture.height);
    const int bytes = object->depth / 8;
    for (std::int32_t y = 0; y < picture.height; ++y) {
        for (std::int32_t x = 0; x < picture.width; ++x) {
            const bgra want = expected_pixel(picture, x, y);
            const std::uint8_t* got = pixel_at(object, x, y);
            for (int c = 0; c < bytes; ++c) {
                ASSERT_EQ(got[c], want[c]) << "pixel (" << x << ", " << y << ") byte " << c;
            }
        }
    }
}

class PngDecoderLayouts : public ::testing::TestWithParam<std::tuple<decode_case, bool, bool>> {
protected:
    void SetUp() override { register_png_codecs(); }
    void TearDown() override { image_free(3); }
};

TEST_P(PngDecoderLayouts, LoadsAsBgrOrBgraWithTheTopRowLastInMemory) {
    const auto& [c, interlaced, from_memory] = GetParam();
    const png_picture picture = case_picture(c, interlaced);
    const std::vector<std::uint8_t> file = png_file_bytes(picture);
    ASSERT_FALSE(file.empty());
    temp_folder folder;
    if (from_memory) {
        ASSERT_NE(image_catch(3, file.data(), file.size()), 0);
    } else {
        folder.write("picture.bmp", file); // the content decides, not the name
        ASSERT_NE(image_load(3, folder.name16("picture.bmp").c_str()), 0);
    }
    const image_record* record = image_lookup(3);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->depth, c.depth);
    EXPECT_EQ(record->source_depth, c.source_depth);
    expect_pixels(3, picture);
}

std::string layout_name(const ::testing::TestParamInfo<PngDecoderLayouts::ParamType>& info) {
    const auto& [c, interlaced, from_memory] = info.param;
    return std::string(c.name) + (interlaced ? "Interlaced" : "") +
           (from_memory ? "FromMemory" : "FromFile");
}

INSTANTIATE_TEST_SUITE_P(EveryColourType, PngDecoderLayouts,
                         ::testing::Combine(::testing::ValuesIn(decode_cases), ::testing::Bool(),
                                            ::testing::Bool()),
                         layout_name);

class PngDecoder : public ::testing::Test {
protected:
    void SetUp() override { register_png_codecs(); }
    void TearDown() override { image_free(4); }
};

TEST_F(PngDecoder, RefusesShortDataAndWrongSignaturesWithoutAskingLibpng) {
    const std::vector<std::uint8_t> file =
        png_file_bytes(varied_picture(4, 4, PNG_COLOR_TYPE_RGB, 8));
    std::vector<std::uint8_t> wrong = file;
    wrong[1] = 'Q';
    temp_folder folder;
    folder.write("short.png", {file.begin(), file.begin() + 7});
    folder.write("wrong.png", wrong);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(decoder_probe_memory(file.data(), 7), 0);
    EXPECT_EQ(decoder_probe_memory(wrong.data(), wrong.size()), 0);
    EXPECT_EQ(decoder_probe_file(folder.name16("short.png").c_str()), 0);
    EXPECT_EQ(decoder_probe_file(folder.name16("wrong.png").c_str()), 0);
    EXPECT_EQ(image_load(4, folder.name16("short.png").c_str()), 0);
    EXPECT_EQ(image_catch(4, wrong.data(), wrong.size()), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(image_is_valid(4), 0);
}

TEST_F(PngDecoder, RefusesADamagedHeaderAndLeavesTheNumberEmpty) {
    std::vector<std::uint8_t> file = png_file_bytes(varied_picture(4, 4, PNG_COLOR_TYPE_RGB, 8));
    const std::vector<std::uint8_t> good = file;
    file[8 + 8 + 9] = 5; // colour type 5 does not exist; the CRC no longer matches either
    ASSERT_NE(image_catch(4, good.data(), good.size()), 0);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(image_catch(4, file.data(), file.size()), 0);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(image_is_valid(4), 0);
}

// Stored (uncompressed) image data, so that cutting the file cuts the rows at a known place.
std::vector<std::uint8_t> stored_rgb_file(const png_picture& picture) {
    png_picture stored = picture;
    stored.compression_level = 0;
    return png_file_bytes(stored);
}

TEST_F(PngDecoder, RefusesAFileCutShortInItsImageData) {
    // Several IDAT chunks, so that the rows in the chunks before the cut can be read.
    const png_picture picture = varied_picture(100, 100, PNG_COLOR_TYPE_RGB, 8);
    const std::vector<std::uint8_t> file = stored_rgb_file(picture);
    const std::vector<std::uint8_t> cut(file.begin(), file.begin() + file.size() / 2);
    temp_folder folder;
    folder.write("cut.png", cut);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(image_load(4, folder.name16("cut.png").c_str()), 0);
    EXPECT_EQ(image_is_valid(4), 0);
    EXPECT_EQ(image_catch(4, cut.data(), cut.size()), 0);
    // Bytes beyond the given length are never used, even when they are there.
    EXPECT_EQ(image_catch(4, file.data(), cut.size()), 0);
    ::testing::internal::GetCapturedStderr();
    ASSERT_NE(image_catch(4, file.data(), file.size()), 0);
    expect_pixels(4, picture);
}

TEST_F(PngDecoder, AppliesNoGammaCorrection) {
    png_picture picture = varied_picture(9, 5, PNG_COLOR_TYPE_RGB_ALPHA, 8);
    for (std::uint32_t gamma : {45455u, 100000u, 180000u}) {
        picture.gamma_times_100000 = gamma;
        const std::vector<std::uint8_t> file = png_file_bytes(picture);
        ASSERT_NE(image_catch(4, file.data(), file.size()), 0);
        expect_pixels(4, picture);
    }
}

// A chunk header claiming a gigabyte in a file of a few dozen bytes.
std::vector<std::uint8_t> file_with_huge_chunk(const char* type) {
    std::vector<std::uint8_t> file = png_file_bytes(varied_picture(1, 1, PNG_COLOR_TYPE_RGB, 8));
    std::vector<std::uint8_t> chunk{0x3F, 0xFF, 0xFF, 0xFF};
    chunk.insert(chunk.end(), type, type + 4);
    chunk.insert(chunk.end(), {1, 2, 3, 4});
    file.insert(file.begin() + 8 + 25, chunk.begin(), chunk.end()); // right after IHDR
    return file;
}

std::int64_t peak_memory_kib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST_F(PngDecoder, ChunkLengthsInDamagedFilesCannotClaimHugeMemory) {
    const std::int64_t before = peak_memory_kib();
    ::testing::internal::CaptureStderr();
    for (const char* type : {"tEXt", "zTXt", "iTXt", "sPLT", "pCAL", "sCAL", "iCCP", "juNK"}) {
        const std::vector<std::uint8_t> file = file_with_huge_chunk(type);
        EXPECT_EQ(image_catch(4, file.data(), file.size()), 0) << type;
    }
    ::testing::internal::GetCapturedStderr();
    EXPECT_LT(peak_memory_kib() - before, 200 * 1024);
}

TEST_F(PngDecoder, AcceptsSidesUpTo32767PixelsAndRefusesLonger) {
    const auto one_row = [](std::int32_t width) {
        png_picture picture;
        picture.width = width;
        picture.height = 1;
        picture.colour_type = PNG_COLOR_TYPE_GRAY;
        picture.bit_depth = 1;
        picture.samples.assign(static_cast<std::size_t>(width), 1);
        return png_file_bytes(picture);
    };
    const std::vector<std::uint8_t> widest = one_row(32767);
    ASSERT_NE(image_catch(4, widest.data(), widest.size()), 0);
    EXPECT_EQ(image_width(4), 32767);
    EXPECT_EQ(pixel_at(image_bitmap(4), 32766, 0)[0], 255);
    const std::vector<std::uint8_t> too_wide = one_row(32768);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(image_catch(4, too_wide.data(), too_wide.size()), 0);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(image_is_valid(4), 0);
}

TEST_F(PngDecoder, DecodesOnSeveralThreadsAtOnce) {
    const png_picture pictures[2] = {varied_picture(31, 17, PNG_COLOR_TYPE_RGB_ALPHA, 8),
                                     varied_picture(17, 31, PNG_COLOR_TYPE_RGB, 16)};
    const std::vector<std::uint8_t> files[2] = {png_file_bytes(pictures[0]),
                                                png_file_bytes(pictures[1])};
    std::atomic<int> failures{0};
    const auto work = [&](int which) {
        for (int round = 0; round < 40; ++round) {
            const obj_number id = image_catch(NUMBER_ANY, files[which].data(), files[which].size());
            const bitmap* object = bitmap_get(image_handle(id));
            bool same = object != nullptr;
            for (std::int32_t y = 0; same && y < pictures[which].height; ++y) {
                for (std::int32_t x = 0; same && x < pictures[which].width; ++x) {
                    const bgra want = expected_pixel(pictures[which], x, y);
                    same = std::equal(want.begin(), want.begin() + object->depth / 8,
                                      pixel_at(object, x, y));
                }
            }
            if (!same) ++failures;
            image_free(id);
        }
    };
    std::thread first(work, 0);
    std::thread second(work, 1);
    first.join();
    second.join();
    EXPECT_EQ(failures.load(), 0);
}

} // namespace
} // namespace korvel::test
