// korvel-render on folders as users have them: a file whose header claims 4 GiB, frames of
// different sizes, ten thousand tiny frames, names with spaces, accents and bytes that are no
// UTF-8, and folders and links named like frames. Each renders or ends with one clear line.
#include "../image/png_file_damage.h"
#include "reference_composite.h"
#include "render_process.h"
#include "test_pictures.h"
#include "work_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <iostream>

namespace korvel::test {
namespace {

constexpr const char* NO_RESOLUTION =
    "korvel-render: Unable to get the resolution from a ''*.png'' file.\n";

std::string unable_to_load(const std::string& path) {
    return "korvel-render: Unable to load, " + path + "\n";
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(BatchHostileFolder, AHeaderClaimingFourGigabytesIsUnableToLoadAndFailsFast) {
    const work_folder work;
    const std::string in = work.make_folder("in");
    write_frames(in, 9, 24, 16, 4);
    ASSERT_TRUE(claim_picture_size(in + "/frame005.png", 32767, 32767));
    const std::string out = work.make_folder("out");

    const auto start = std::chrono::steady_clock::now();
    const render_run run = run_render({"-q", "-l", "3", in, out});
    EXPECT_LT(seconds_since(start), 20.0);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, unable_to_load(in + "/frame005.png"));
    EXPECT_EQ(folder_names(out), (std::set<std::string>{"1.png"}));
}

TEST(BatchHostileFolder, AFrameCutShortInItsImageDataIsUnableToLoad) {
    const work_folder work;
    const std::string in = work.make_folder("in");
    write_frames(in, 9, 24, 16, 4);
    ASSERT_TRUE(cut_inside_image_data(in + "/frame005.png"));
    const std::string out = work.make_folder("out");

    const render_run run = run_render({"-q", "-l", "3", in, out});
    EXPECT_EQ(run.status, 1);
    // libpng's own diagnostic may come first.
    const std::string line = unable_to_load(in + "/frame005.png");
    ASSERT_GE(run.err.size(), line.size());
    EXPECT_EQ(run.err.substr(run.err.size() - line.size()), line) << run.err;
    EXPECT_EQ(folder_names(out), (std::set<std::string>{"1.png"}));
}

TEST(BatchHostileFolder, AHugeLastFrameGivesNoResolutionAndNoFrame) {
    const work_folder work;
    const std::string in = work.make_folder("in");
    write_frames(in, 4, 24, 16, 4);
    ASSERT_TRUE(claim_picture_size(in + "/frame004.png", 32767, 32767));
    const std::string out = work.make_folder("out");

    const render_run run = run_render({"-q", "-l", "2", in, out});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, NO_RESOLUTION);
    EXPECT_TRUE(folder_names(out).empty());
}

// The layer as the canvas sees it: cut to the canvas, or widened with transparent pixels, which
// drawing leaves as no layer at all.
picture fitted(const picture& layer, std::int32_t width, std::int32_t height) {
    picture canvas{width, height, 4, std::vector<std::uint8_t>(std::size_t(width) * height * 4, 0)};
    for (std::int32_t y = 0; y < std::min(height, layer.height); ++y) {
        for (std::int32_t x = 0; x < std::min(width, layer.width); ++x) {
            const std::size_t from = (std::size_t(y) * layer.width + x) * 4;
            std::copy_n(&layer.rgba[from], 4, &canvas.rgba[(std::size_t(y) * width + x) * 4]);
        }
    }
    return canvas;
}

TEST(BatchHostileFolder, FramesOfDifferentSizesAreDrawnFromTheTopLeftOfTheLastFramesSize) {
    const work_folder work;
    const std::string in = work.make_folder("in");
    const std::string out = work.make_folder("out");
    // The last entry gives the canvas; the others are larger, smaller or both at once.
    const std::int32_t sizes[6][2] = {{40, 30}, {12, 8}, {50, 10}, {10, 50}, {24, 16}, {24, 16}};
    std::vector<picture> layers;
    for (std::uint32_t i = 0; i < 6; ++i) {
        const picture layer = pattern_picture(sizes[i][0], sizes[i][1], 4, i + 1);
        ASSERT_TRUE(write_png(in + "/frame00" + std::to_string(i + 1) + ".png", layer));
        layers.push_back(fitted(layer, 24, 16));
    }

    const render_run run = run_render({"-q", "-l", "3", in, out});
    ASSERT_EQ(run.status, 0) << run.err;
    for (int frame = 1; frame <= 2; ++frame) {
        const picture made = read_png_rgba(out + "/" + std::to_string(frame) + ".png");
        const std::size_t first = std::size_t(frame - 1) * 3;
        const picture expected =
            reference_composite({&layers[first], &layers[first + 1], &layers[first + 2]}, 255);
        EXPECT_EQ(made.width, 24);
        EXPECT_EQ(made.height, 16);
        EXPECT_TRUE(made.rgba == expected.rgba) << "frame " << frame;
    }
}

TEST(BatchHostileFolder, TenThousandTinyFramesRenderInReasonableTime) {
    const work_folder work;
    const std::string in = work.make_folder("in");
    const std::string out = work.make_folder("out");
    const picture tiny = pattern_picture(2, 2, 4, 7);
    for (int i = 1; i <= 10000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/f%05d.png", i);
        ASSERT_TRUE(write_png(in + name, tiny));
    }

    const auto start = std::chrono::steady_clock::now();
    const render_run run = run_render({"-q", "-l", "100", in, out});
    const double seconds = seconds_since(start);
    std::cout << "10000 inputs, 100 frames: " << seconds << " s\n";
    EXPECT_EQ(run.status, 0) << run.err;
    // A few seconds in an optimised build; sanitizers make it several times slower.
    EXPECT_LT(seconds, 120.0);
    const std::set<std::string> frames = folder_names(out);
    EXPECT_EQ(frames.size(), 100u);
    EXPECT_EQ(*frames.begin(), "00001.png");
    EXPECT_EQ(*frames.rbegin(), "00100.png");
}

// Six frames written under names of the kind given, in name order.
void write_named_frames(const std::string& folder, const std::string& prefix) {
    for (std::uint32_t i = 1; i <= 6; ++i)
        write_png(folder + "/" + prefix + std::to_string(i) + ".png",
                  pattern_picture(20, 12, 4, i));
}

TEST(BatchHostileFolder, NamesWithSpacesAccentsAndNonUtf8BytesRenderTheSameBytes) {
    const work_folder work;
    const std::string plain_in = work.make_folder("plain-in");
    const std::string plain_out = work.make_folder("plain-out");
    write_named_frames(plain_in, "f");
    ASSERT_EQ(run_render({"-q", "-l", "2", plain_in, plain_out}).status, 0);
    const folder_contents expected = read_folder(plain_out);
    ASSERT_EQ(expected.size(), 3u);

    // Latin-1 bytes as an old archive leaves them (0xE9 is "é"), and stray bytes 0xFF and 0x80.
    const struct {
        const char* in;
        const char* out;
        const char* prefix;
    } kinds[] = {
        {"in with spaces", "out with spaces", "frame "},
        {"entr\xC3\xA9"
         "e \xF0\x9F\x8E\x9E",
         "sortie \xC3\xA0 voir", "cl\xC3\xA9 "},
        {"in \xFF\xFE", "out \x80", "fr\xE9me "},
    };
    for (const auto& kind : kinds) {
        const std::string in = work.make_folder(kind.in);
        const std::string out = work.make_folder(kind.out);
        write_named_frames(in, kind.prefix);
        const render_run run = run_render({"-q", "-l", "2", in, out});
        EXPECT_EQ(run.status, 0) << kind.in << ": " << run.err;
        EXPECT_EQ(read_folder(out), expected) << kind.in;
    }
}

enum class odd_entry { folder, link_to_folder, dangling_link };

const char* describe(odd_entry kind) {
    switch (kind) {
    case odd_entry::folder:
        return "a folder";
    case odd_entry::link_to_folder:
        return "a link to a folder";
    default:
        return "a dangling link";
    }
}

void make_odd_entry(odd_entry kind, const std::string& path, const work_folder& work) {
    if (kind == odd_entry::folder) {
        std::filesystem::create_directory(path);
    } else if (kind == odd_entry::link_to_folder) {
        std::filesystem::create_directory_symlink(work.make_folder("elsewhere"), path);
    } else {
        std::filesystem::create_symlink(work.path("nothing-here.png"), path);
    }
}

TEST(BatchHostileFolder, FoldersAndLinksNamedLikeFramesAreUnableToLoadWhereTheyFall) {
    for (odd_entry kind :
         {odd_entry::folder, odd_entry::link_to_folder, odd_entry::dangling_link}) {
        const work_folder work;
        const std::string in = work.make_folder("in");
        const std::string out = work.make_folder("out");
        write_frames(in, 9, 24, 16, 4);
        std::filesystem::remove(in + "/frame005.png");
        make_odd_entry(kind, in + "/frame005.png", work);
        const render_run run = run_render({"-q", "-l", "3", in, out});
        EXPECT_EQ(run.status, 1) << describe(kind);
        EXPECT_EQ(run.err, unable_to_load(in + "/frame005.png")) << describe(kind);
        EXPECT_EQ(folder_names(out), (std::set<std::string>{"1.png"})) << describe(kind);
    }
}

TEST(BatchHostileFolder, AFolderOrLinkNamedLikeTheLastFrameGivesNoResolution) {
    for (odd_entry kind :
         {odd_entry::folder, odd_entry::link_to_folder, odd_entry::dangling_link}) {
        const work_folder work;
        const std::string in = work.make_folder("in");
        const std::string out = work.make_folder("out");
        write_frames(in, 4, 24, 16, 4);
        make_odd_entry(kind, in + "/zzz.png", work);
        const render_run run = run_render({"-q", "-l", "2", in, out});
        EXPECT_EQ(run.status, 1) << describe(kind);
        EXPECT_EQ(run.err, NO_RESOLUTION) << describe(kind);
    }
}

TEST(BatchHostileFolder, ALinkToAFrameElsewhereRendersAsTheFrameItself) {
    const work_folder work;
    const std::string in = work.make_folder("in");
    const std::string out = work.make_folder("out");
    const std::string plain_out = work.make_folder("plain-out");
    write_frames(in, 6, 24, 16, 4);
    ASSERT_EQ(run_render({"-q", "-l", "3", in, plain_out}).status, 0);
    const std::string elsewhere = work.make_folder("elsewhere");
    std::filesystem::rename(in + "/frame004.png", elsewhere + "/kept.png");
    std::filesystem::create_symlink(elsewhere + "/kept.png", in + "/frame004.png");

    const render_run run = run_render({"-q", "-l", "3", in, out});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(read_folder(out), read_folder(plain_out));
}

} // namespace
} // namespace korvel::test
