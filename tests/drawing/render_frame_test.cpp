// One output frame made the way the render job makes it: small PNG frames (with and without
// alpha) loaded one at a time and drawn onto a transparent 32-bit canvas, the first at opacity
// 255 and the others at opacities falling in float steps, then saved as PNG. The saved file is
// read back with libpng and every pixel compared with the formula applied here on its own.
#include "drawing/draw.h"
#include "image/codec.h"
#include "image/image.h"
#include "image/png_codec.h"
#include "tests/drawing/plain_over.h"

#include <gtest/gtest.h>
#include <png.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace korvel {
namespace {

constexpr int width = 6;
constexpr int height = 4;
constexpr int layers = 7;
constexpr float alpha_levels = 255.0f;

// One input frame: RGBA or RGB samples, top row first, as the PNG holds them.
struct frame {
    bool has_alpha;
    std::vector<std::uint8_t> samples;
};

frame make_frame(int k) {
    frame f{k % 3 != 1, {}};
    std::uint32_t seed = 0x9E3779B9u * static_cast<std::uint32_t>(k + 1);
    for (int i = 0; i < width * height; ++i) {
        for (int c = 0; c < 3; ++c) {
            seed = seed * 1664525u + 1013904223u;
            f.samples.push_back(static_cast<std::uint8_t>(seed >> 24));
        }
        if (f.has_alpha) { // transparent, opaque and partial pixels side by side
            seed = seed * 1664525u + 1013904223u;
            const int kind = (i + k) % 4;
            f.samples.push_back(kind == 0   ? 0
                                : kind == 1 ? 255
                                            : static_cast<std::uint8_t>(seed >> 24));
        }
    }
    return f;
}

bool write_png(const std::filesystem::path& path, const frame& f) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = f.has_alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path.c_str(), 0, f.samples.data(), 0, nullptr) != 0;
}

// RGBA samples of a PNG file, top row first; empty when it cannot be read.
std::vector<std::uint8_t> read_png_rgba(const std::filesystem::path& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return {};
    image.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> samples(PNG_IMAGE_SIZE(image));
    if (image.width != width || image.height != height ||
        png_image_finish_read(&image, nullptr, samples.data(), 0, nullptr) == 0) {
        png_image_free(&image);
        return {};
    }
    return samples;
}

std::u16string utf16(const std::string& ascii) {
    return {ascii.begin(), ascii.end()};
}

// Half away from zero, as the render job rounds its opacities.
std::int32_t round_half_away(float x) {
    return static_cast<std::int32_t>(x > 0 ? std::floor(x + 0.5f) : std::ceil(x - 0.5f));
}

// The opacities of the layers: 255 first, then A - step, A - 2 step, ... accumulated in floats.
std::vector<std::int32_t> layer_opacities() {
    std::vector<std::int32_t> opacities{255};
    float alpha = alpha_levels;
    const float step = alpha_levels / static_cast<float>(layers);
    for (int k = 1; k < layers; ++k) {
        alpha -= step;
        opacities.push_back(round_half_away(alpha));
    }
    return opacities;
}

// The expected canvas, blue, green, red, alpha per pixel, top row first.
std::vector<std::uint8_t> expected_canvas(const std::vector<frame>& frames,
                                          const std::vector<std::int32_t>& opacities) {
    std::vector<std::uint8_t> canvas(width * height * 4, 0);
    for (int k = 0; k < layers; ++k) {
        const frame& f = frames[k];
        const int step = f.has_alpha ? 4 : 3;
        for (int i = 0; i < width * height; ++i) {
            const std::uint8_t* rgb = &f.samples[i * step];
            std::uint8_t src[4] = {rgb[2], rgb[1], rgb[0], f.has_alpha ? rgb[3] : std::uint8_t{0}};
            std::uint8_t* d = &canvas[i * 4];
            if (f.has_alpha)
                plain::over_row_bgra(d, src, 1, opacities[k]);
            else
                plain::draw_row_bgr(d, src, 1, opacities[k]);
        }
    }
    return canvas;
}

class RenderFrameTest : public ::testing::Test {
protected:
    std::filesystem::path folder;

    void SetUp() override {
        codecs_init();
        png_decoder_register();
        png_encoder_register();
        images_init();
        char pattern[] = "/tmp/korvel-frame-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override {
        draw_stop();
        image_free(0);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

TEST_F(RenderFrameTest, LayersLoadedFromPngComposeToTheExpectedSavedFrame) {
    std::vector<frame> frames;
    for (int k = 0; k < layers; ++k) {
        frames.push_back(make_frame(k));
        ASSERT_TRUE(write_png(folder / ("in" + std::to_string(k) + ".png"), frames.back()));
    }
    const std::vector<std::int32_t> opacities = layer_opacities();
    ASSERT_EQ(opacities, (std::vector<std::int32_t>{255, 219, 182, 146, 109, 73, 36}));

    ASSERT_NE(image_create(0, width, height, 0x120), 0);
    ASSERT_NE(draw_start(image_output(0)), 0);
    draw_mode(0);
    for (int k = 0; k < layers; ++k) {
        const obj_number slot = 3 + k;
        const std::string path = (folder / ("in" + std::to_string(k) + ".png")).string();
        ASSERT_NE(image_load(slot, utf16(path).c_str()), 0) << path;
        ASSERT_EQ(image_lookup(slot)->depth, frames[k].has_alpha ? 32 : 24);
        draw_image_alpha(image_handle(slot), 0, 0, opacities[k]);
        image_free(slot);
    }
    const std::filesystem::path out = folder / "1.png";
    ASSERT_NE(image_save(0, utf16(out.string()).c_str(), ENCODER_PNG, 32), 0);
    draw_stop();

    const std::vector<std::uint8_t> saved = read_png_rgba(out);
    ASSERT_EQ(saved.size(), static_cast<std::size_t>(width * height * 4));
    const std::vector<std::uint8_t> want = expected_canvas(frames, opacities);
    for (int i = 0; i < width * height; ++i) {
        const std::array<int, 4> got{saved[i * 4 + 2], saved[i * 4 + 1], saved[i * 4],
                                     saved[i * 4 + 3]};
        const std::array<int, 4> expected{want[i * 4], want[i * 4 + 1], want[i * 4 + 2],
                                          want[i * 4 + 3]};
        EXPECT_EQ(got, expected) << "pixel " << i % width << "," << i / width;
    }
}

} // namespace
} // namespace korvel
