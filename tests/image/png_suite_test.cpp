// The public PNG collections read from the shared folder: every file loads or fails without
// harm, and interlaced files equal their plain twins.
#include "png_fixture.h"

#include "image/bitmap.h"
#include "image/codec.h"
#include "image/image.h"
#include "runtime/utf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace korvel::test {
namespace {

namespace fs = std::filesystem;

const fs::path shared_dir{KORVEL_SHARED_DIR};

std::vector<fs::path> png_files(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (entry.path().extension() == ".png") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::uint8_t> file_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What a load produced, for comparing two loads.
struct decoded {
    bool loaded = false;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t depth = 0;
    std::int32_t source_depth = 0;
    std::vector<std::uint8_t> pixels;
};

decoded take_image(obj_number n, obj_number result) {
    decoded d;
    const image_record* record = image_lookup(n);
    const bitmap* object = bitmap_get(image_handle(n));
    if (result == 0 || record == nullptr || object == nullptr) return d;
    d.loaded = true;
    d.width = record->width;
    d.height = record->height;
    d.depth = record->depth;
    d.source_depth = record->source_depth;
    d.pixels.assign(object->pixels,
                    object->pixels + static_cast<std::size_t>(object->stride) * object->height);
    image_free(n);
    return d;
}

decoded load_file(const fs::path& path) {
    const obj_number result = image_load(5, utf16_from_utf8(path.string()).c_str());
    return take_image(5, result);
}

decoded load_memory(const fs::path& path) {
    const std::vector<std::uint8_t> bytes = file_bytes(path);
    const obj_number result = image_catch(5, bytes.data(), bytes.size());
    return take_image(5, result);
}

void expect_same_image(const decoded& a, const decoded& b, const std::string& what) {
    ASSERT_TRUE(a.loaded && b.loaded) << what;
    EXPECT_EQ(a.width, b.width) << what;
    EXPECT_EQ(a.height, b.height) << what;
    EXPECT_EQ(a.depth, b.depth) << what;
    EXPECT_EQ(a.source_depth, b.source_depth) << what;
    EXPECT_TRUE(a.pixels == b.pixels) << what;
}

// A loaded image is a whole one: a size inside the limits and a depth the drawing code takes.
void expect_sound(const decoded& d, const std::string& what) {
    if (!d.loaded) return;
    EXPECT_TRUE(d.width >= 1 && d.width <= 32767 && d.height >= 1 && d.height <= 32767) << what;
    EXPECT_TRUE(d.depth == 24 || d.depth == 32) << what;
    EXPECT_EQ(d.pixels.size(), static_cast<std::size_t>(row_bytes(d.width, d.depth)) * d.height)
        << what;
}

class PngSuite : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::is_directory(shared_dir / "pngsuite") ||
            !fs::is_directory(shared_dir / "testpngs")) {
            GTEST_SKIP() << "the PNG collections are not in " << shared_dir
                         << " (pngsuite and testpngs); skipping";
        }
        register_png_codecs();
    }
};

TEST_F(PngSuite, EveryValidFileLoadsTheSameFromFileAndFromMemory) {
    std::vector<fs::path> files = png_files(shared_dir / "pngsuite");
    for (const char* folder : {"pngsuite/interlaced", "testpngs", "testpngs/png-3"}) {
        const std::vector<fs::path> more = png_files(shared_dir / folder);
        files.insert(files.end(), more.begin(), more.end());
    }
    ASSERT_GT(files.size(), 100u);
    for (const fs::path& path : files) {
        const decoded from_file = load_file(path);
        EXPECT_TRUE(from_file.loaded) << path;
        expect_sound(from_file, path.string());
        expect_same_image(from_file, load_memory(path), path.string());
    }
}

TEST_F(PngSuite, InterlacedFilesEqualTheirPlainTwins) {
    int pairs = 0;
    for (const char* folder : {"pngsuite", "pngsuite/interlaced"}) {
        for (const fs::path& interlaced : png_files(shared_dir / folder)) {
            const std::string name = interlaced.filename().string();
            if (name[0] != 'i') continue;
            const fs::path plain = shared_dir / "pngsuite" / name.substr(1);
            if (!fs::exists(plain)) continue;
            expect_same_image(load_file(interlaced), load_file(plain), name);
            ++pairs;
        }
    }
    EXPECT_GE(pairs, 20);
}

TEST_F(PngSuite, DamagedFilesFailOrLoadWithoutHarm) {
    std::vector<fs::path> files = png_files(shared_dir / "testpngs" / "crashers");
    const std::vector<fs::path> palettes = png_files(shared_dir / "testpngs" / "badpal");
    files.insert(files.end(), palettes.begin(), palettes.end());
    ASSERT_GT(files.size(), 20u);
    ::testing::internal::CaptureStderr();
    for (const fs::path& path : files) {
        expect_sound(load_file(path), path.string());
        expect_sound(load_memory(path), path.string());
    }
    ::testing::internal::GetCapturedStderr();
}

} // namespace
} // namespace korvel::test
