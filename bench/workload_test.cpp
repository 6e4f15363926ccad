// The benchmark's input sequences: what a frame looks like, that the files decode to exactly the
// painted pixels at the right depth, and how a workload folder is reused, repaired or refused.
#include "bench/workload_folder.h"
#include "bench/workload_frames.h"
#include "image/codec.h"
#include "image/image.h"
#include "image/png_codec.h"
#include "runtime/utf.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

namespace korvel {
namespace {

const workload_preset& preset(const char* name) {
    const workload_preset* found = workload_preset_find(name);
    EXPECT_NE(found, nullptr) << name;
    return *found;
}

std::int32_t stride_of(const workload_preset& p) {
    return row_bytes(p.width, p.depth);
}

std::vector<std::uint8_t> painted(const workload_preset& p, std::int32_t index,
                                  std::uint8_t fill = 0) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(stride_of(p)) * p.height, fill);
    workload_paint(p, index, pixels.data(), stride_of(p));
    return pixels;
}

// The pixel at picture position (x, y), top row 0.
const std::uint8_t* pixel_at(const workload_preset& p, const std::vector<std::uint8_t>& pixels,
                             std::int32_t x, std::int32_t y) {
    return &pixels[static_cast<std::size_t>(p.height - 1 - y) * stride_of(p) +
                   static_cast<std::size_t>(x) * (p.depth / 8)];
}

struct alpha_census {
    std::int64_t opaque = 0;
    std::int64_t partial = 0;
    double covered = 0;        // the alphas summed, in whole pixels
    bool stray_colour = false; // a transparent pixel with colour bytes
    bool on_border = false;    // anything visible in the outermost rows or columns
    double farthest = 0;       // distance of the farthest visible pixel from the declared centre
};

alpha_census census(const workload_preset& p, const std::vector<std::uint8_t>& pixels,
                    std::int32_t index) {
    alpha_census c;
    const workload_point centre = workload_centre(p, index);
    for (std::int32_t y = 0; y < p.height; ++y)
        for (std::int32_t x = 0; x < p.width; ++x) {
            const std::uint8_t* px = pixel_at(p, pixels, x, y);
            if (px[3] == 0) {
                c.stray_colour = c.stray_colour || px[0] != 0 || px[1] != 0 || px[2] != 0;
                continue;
            }
            (px[3] == 255 ? c.opaque : c.partial) += 1;
            c.covered += px[3] / 255.0;
            c.on_border = c.on_border || x == 0 || y == 0 || x == p.width - 1 || y == p.height - 1;
            c.farthest = std::max(c.farthest, std::hypot(x + 0.5 - centre.x, y + 0.5 - centre.y));
        }
    return c;
}

class WorkloadFiles : public ::testing::Test {
protected:
    void SetUp() override {
        images_init();
        codecs_init();
        png_decoder_register();
        png_encoder_register();
    }

    // The pixels image_load gives for the file, with its depth in the source; empty on failure.
    static std::vector<std::uint8_t> decoded(const std::string& path, int* source_depth) {
        const obj_number image = image_load(NUMBER_ANY, utf16_from_utf8(path).c_str());
        if (image == 0) return {};
        const image_record* record = image_lookup(image);
        const bitmap* b = bitmap_get(record->handle);
        std::vector<std::uint8_t> pixels(
            b->pixels, b->pixels + static_cast<std::size_t>(b->stride) * b->height);
        *source_depth = record->source_depth;
        image_free(image);
        return pixels;
    }
};

TEST(WorkloadPaint, SpriteIsOneOpaqueDiscWithAnAntialiasedRimOnCleanTransparency) {
    for (const char* name : {"sample", "sprite"}) {
        const workload_preset& p = preset(name);
        const std::int32_t index = p.frames / 3;
        const alpha_census c = census(p, painted(p, index, 0xAB), index);
        const double r = workload_radius(p);
        const double area = std::numbers::pi * r * r;
        EXPECT_NEAR(c.covered, area, 0.01 * area) << name;
        EXPECT_NEAR(static_cast<double>(c.opaque), std::numbers::pi * (r - 0.5) * (r - 0.5),
                    0.02 * area)
            << name;
        // A rim one pixel wide: about the circumference in partly covered pixels.
        EXPECT_GT(static_cast<double>(c.partial), 1.0 * std::numbers::pi * r) << name;
        EXPECT_LT(static_cast<double>(c.partial), 4.0 * std::numbers::pi * r) << name;
        EXPECT_LE(c.farthest, r + 1.5) << name;
        EXPECT_FALSE(c.stray_colour) << name;
    }
}

TEST(WorkloadPaint, DiscTravelsAcrossThePictureWithoutTouchingItsBorder) {
    const workload_preset& p = preset("sample");
    for (std::int32_t index = 0; index < p.frames; ++index) {
        const alpha_census c = census(p, painted(p, index), index);
        ASSERT_FALSE(c.on_border) << "frame " << index;
        ASSERT_GT(c.opaque, 0) << "frame " << index;
    }
    const workload_point first = workload_centre(p, 0);
    const workload_point last = workload_centre(p, p.frames - 1);
    EXPECT_GT(last.x - first.x, p.width / 2.0);
    // Consecutive frames differ by a few pixels of travel: a blur over L layers makes a streak.
    const workload_point second = workload_centre(p, 1);
    EXPECT_GT(std::hypot(second.x - first.x, second.y - first.y), 1.0);
    EXPECT_LT(std::hypot(second.x - first.x, second.y - first.y), workload_radius(p));
}

TEST(WorkloadPaint, FrameDependsOnlyOnPresetAndIndex) {
    for (const char* name : {"sample", "footage"}) {
        const workload_preset& p = preset(name);
        const std::vector<std::uint8_t> first = painted(p, 3);
        EXPECT_EQ(painted(p, 3, 0x5A), first) << name;
        EXPECT_NE(painted(p, 4), first) << name;
    }
}

TEST(WorkloadPaint, FootageHasFreshGrainInEveryFrameAndABrightMovingShape) {
    const workload_preset& p = preset("footage");
    const std::vector<std::uint8_t> a = painted(p, 0);
    const std::vector<std::uint8_t> b = painted(p, 1);
    std::int64_t changed = 0;
    std::int64_t neighbour_steps = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        changed += a[i] != b[i];
    for (std::int32_t x = 1; x < p.width; ++x)
        neighbour_steps += pixel_at(p, a, x, 10)[0] != pixel_at(p, a, x - 1, 10)[0];
    EXPECT_GT(changed, static_cast<std::int64_t>(a.size()) * 3 / 4) << "grain must change";
    EXPECT_GT(neighbour_steps, p.width * 3 / 4) << "grain must vary along a row";

    // The shape's colour (red 240 on a background of at most 150 red) at its centre only.
    const workload_point start = workload_centre(p, 0);
    const workload_point end = workload_centre(p, p.frames - 1);
    const std::vector<std::uint8_t> last = painted(p, p.frames - 1);
    auto red = [&](const std::vector<std::uint8_t>& pixels, workload_point at) {
        return pixel_at(p, pixels, static_cast<std::int32_t>(at.x),
                        static_cast<std::int32_t>(at.y))[2];
    };
    EXPECT_GE(red(a, start), 230);
    EXPECT_GE(red(last, end), 230);
    EXPECT_LE(red(last, start), 160);
}

TEST_F(WorkloadFiles, FolderHoldsNumberedFramesThatDecodeToThePaintedPixels) {
    const workload_preset& p = preset("sample");
    test::scratch_folder folder;
    const workload_outcome out = workload_generate(p, folder.path("seq"), false, 2);
    ASSERT_EQ(out.result, workload_result::written) << out.detail;

    std::vector<std::string> names;
    for (std::int32_t i = 0; i < p.frames; ++i)
        names.push_back(workload_frame_name(p, i));
    names.push_back(WORKLOAD_STAMP);
    std::sort(names.begin(), names.end());
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path("seq")))
        found.push_back(entry.path().filename().string());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, names);
    EXPECT_EQ(workload_frame_name(p, 0), "0001.png");
    EXPECT_EQ(workload_frame_name(p, p.frames - 1), "0060.png");

    int depth = 0;
    EXPECT_EQ(decoded(folder.path("seq/0007.png"), &depth), painted(p, 6));
    EXPECT_EQ(depth, 32);
}

TEST_F(WorkloadFiles, FootageFramesAreTrueColourFilesWithoutAlpha) {
    const workload_preset& p = preset("footage");
    test::scratch_folder folder;
    ASSERT_TRUE(workload_write_frame(p, 5, folder.path("frame.png")));
    const std::string file = test::read_file(folder.path("frame.png"));
    ASSERT_GT(file.size(), 26u);
    EXPECT_EQ(file[25], 2) << "colour type of the IHDR chunk";
    int depth = 0;
    EXPECT_EQ(decoded(folder.path("frame.png"), &depth), painted(p, 5));
    EXPECT_EQ(depth, 24);
}

TEST_F(WorkloadFiles, CompleteFolderIsLeftAloneUnlessForced) {
    const workload_preset& p = preset("sample");
    test::scratch_folder folder;
    const std::string seq = folder.path("seq");
    ASSERT_EQ(workload_generate(p, seq, false, 2).result, workload_result::written);
    const std::string original = test::read_file(folder.path("seq/0003.png"));
    folder.write("seq/0003.png", "\1\2\3");

    EXPECT_EQ(workload_generate(p, seq, false, 2).result, workload_result::already_complete);
    EXPECT_EQ(test::read_file(folder.path("seq/0003.png")), std::string("\1\2\3"));

    EXPECT_EQ(workload_generate(p, seq, true, 2).result, workload_result::written);
    EXPECT_EQ(test::read_file(folder.path("seq/0003.png")), original);
}

TEST_F(WorkloadFiles, MissingFrameOrOtherStampMeansGeneratingAgain) {
    const workload_preset& p = preset("sample");
    test::scratch_folder folder;
    const std::string seq = folder.path("seq");
    ASSERT_EQ(workload_generate(p, seq, false, 2).result, workload_result::written);
    const std::string original = test::read_file(folder.path("seq/0010.png"));

    std::filesystem::remove(folder.path("seq/0010.png"));
    EXPECT_EQ(workload_generate(p, seq, false, 2).result, workload_result::written);
    EXPECT_EQ(test::read_file(folder.path("seq/0010.png")), original);

    const std::string stamp = "seq/" + std::string(WORKLOAD_STAMP);
    folder.write(stamp, "old\n");
    folder.write("seq/0010.png", "\x09");
    EXPECT_EQ(workload_generate(p, seq, false, 2).result, workload_result::written);
    EXPECT_EQ(test::read_file(folder.path("seq/0010.png")), original);
    const std::string text = test::read_file(folder.path(stamp));
    EXPECT_EQ(text, workload_stamp_text(p));
}

TEST_F(WorkloadFiles, FramesBeyondTheCountAreRemovedButOtherPicturesStopTheRun) {
    const workload_preset& p = preset("sample");
    test::scratch_folder folder;
    const std::string seq = folder.path("seq");
    std::filesystem::create_directories(seq);
    folder.write("seq/0061.png", "\1");
    folder.write("seq/0500.png", "\1");
    folder.write("seq/notes.txt", "\1");
    ASSERT_EQ(workload_generate(p, seq, false, 2).result, workload_result::written);
    EXPECT_FALSE(test::path_exists(folder.path("seq/0061.png")));
    EXPECT_FALSE(test::path_exists(folder.path("seq/0500.png")));
    EXPECT_TRUE(test::path_exists(folder.path("seq/0060.png")));
    EXPECT_TRUE(test::path_exists(folder.path("seq/notes.txt")));

    const std::string other = folder.path("other");
    std::filesystem::create_directories(other);
    folder.write("other/holiday.png", "\7");
    const workload_outcome out = workload_generate(p, other, false, 2);
    EXPECT_EQ(out.result, workload_result::foreign_files);
    EXPECT_EQ(out.detail, "holiday.png");
    EXPECT_TRUE(test::path_exists(folder.path("other/holiday.png")));
    EXPECT_FALSE(test::path_exists(folder.path("other/0001.png")));
}

TEST_F(WorkloadFiles, ThreadCountDoesNotChangeTheFiles) {
    const workload_preset& p = preset("sample");
    test::scratch_folder folder;
    ASSERT_EQ(workload_generate(p, folder.path("one"), false, 1).result, workload_result::written);
    ASSERT_EQ(workload_generate(p, folder.path("four"), false, 4).result, workload_result::written);
    for (std::int32_t i = 0; i < p.frames; ++i) {
        const std::string name = workload_frame_name(p, i);
        ASSERT_EQ(test::read_file(folder.path("one/" + name)),
                  test::read_file(folder.path("four/" + name)))
            << name;
    }
}

TEST_F(WorkloadFiles, UnwritableFolderIsReportedAsAFailure) {
    const workload_preset& p = preset("sample");
    test::scratch_folder folder;
    folder.write("file", "\1");
    const workload_outcome out = workload_generate(p, folder.path("file/seq"), false, 2);
    EXPECT_EQ(out.result, workload_result::failed);
    EXPECT_FALSE(out.detail.empty());
    EXPECT_FALSE(workload_write_frame(p, 0, folder.path("file/0001.png")));
}

} // namespace
} // namespace korvel
