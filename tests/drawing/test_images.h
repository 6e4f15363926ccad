// Small numbered images for the drawing tests: pixels written and read by picture position
// (y counted from the top), so expectations read the way the pictures are described.
#pragma once

#include "drawing/blit_plan.h"
#include "drawing/draw.h"
#include "image/bitmap.h"
#include "image/image.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <random>

namespace korvel::test {

// Blue, green, red, alpha. 24-bit images read back alpha as no_alpha and ignore it on writes.
using px = std::array<int, 4>;
inline constexpr int no_alpha = -1;

inline bitmap* bitmap_of(obj_number n) {
    return bitmap_get(image_handle(n));
}

inline std::uint8_t* pixel_address(obj_number n, int x, int y) {
    bitmap* b = bitmap_of(n);
    return b->pixels + static_cast<std::ptrdiff_t>(b->height - 1 - y) * b->stride +
           x * (b->depth / 8);
}

inline void set_pixel(obj_number n, int x, int y, px value) {
    std::uint8_t* p = pixel_address(n, x, y);
    const int bytes = bitmap_of(n)->depth / 8;
    for (int c = 0; c < bytes; ++c)
        p[c] = static_cast<std::uint8_t>(value[c]);
}

inline px get_pixel(obj_number n, int x, int y) {
    const std::uint8_t* p = pixel_address(n, x, y);
    return {p[0], p[1], p[2], bitmap_of(n)->depth == 32 ? p[3] : no_alpha};
}

inline void fill(obj_number n, px value) {
    for (int y = 0; y < image_height(n); ++y)
        for (int x = 0; x < image_width(n); ++x)
            set_pixel(n, x, y, value);
}

// A width x height image of the given depth (24 or 32) with every pixel set to value.
inline void make_image(obj_number n, int width, int height, int depth, px value) {
    ASSERT_NE(image_create(n, width, height, static_cast<std::uint32_t>(depth)), 0);
    fill(n, value);
}

// Random colours; 32-bit alphas in runs of 0, 255 and anything, as real sprites have them.
inline void randomise(obj_number n, unsigned seed) {
    std::mt19937 rng(seed);
    const auto byte = [&rng] { return static_cast<int>(rng() % 256); };
    for (int y = 0; y < image_height(n); ++y)
        for (int x = 0; x < image_width(n); ++x) {
            const int kind = (x / 4 + y) % 3;
            set_pixel(n, x, y, {byte(), byte(), byte(), kind == 0 ? 0 : kind == 1 ? 255 : byte()});
        }
}

// Image b as a copy of image a (both of a's size and depth).
inline void copy_image(obj_number a, obj_number b) {
    ASSERT_NE(image_create(b, image_width(a), image_height(a),
                           static_cast<std::uint32_t>(bitmap_of(a)->depth)),
              0);
    for (int y = 0; y < image_height(a); ++y)
        for (int x = 0; x < image_width(a); ++x)
            set_pixel(b, x, y, get_pixel(a, x, y));
}

inline void expect_same_pixels(obj_number a, obj_number b) {
    for (int y = 0; y < image_height(a); ++y)
        for (int x = 0; x < image_width(a); ++x)
            ASSERT_EQ(get_pixel(a, x, y), get_pixel(b, x, y)) << x << "," << y;
}

// Opens a session on image n in mode 0, failing the test when that is refused.
inline void start_session_on(obj_number n) {
    draw_state* output = image_output(n);
    ASSERT_NE(output, nullptr);
    ASSERT_NE(draw_start(output), 0);
    draw_mode(0);
}

// Ends any session and frees the images a test made, whatever the test's outcome.
class DrawingTest : public ::testing::Test {
protected:
    void SetUp() override { images_init(); }
    void TearDown() override {
        draw_stop();
        for (obj_number n = 0; n < 8; ++n)
            image_free(n);
    }
};

} // namespace korvel::test
