// Numbered images: creation with its fills and refusals, reuse of numbers, freeing and queries.
#include "image_fixture.h"

#include <cstddef>

namespace korvel {
namespace {

class Images : public test::ImageTest {
protected:
    // True when every pixel of image n holds the four bytes given.
    static bool every_pixel_is(obj_number n, std::uint8_t b, std::uint8_t g, std::uint8_t r,
                               std::uint8_t a) {
        const bitmap* object = bitmap_of(n);
        for (std::int32_t y = 0; y < object->height; ++y) {
            const std::uint8_t* row = object->pixels + static_cast<std::size_t>(y) * object->stride;
            for (std::int32_t x = 0; x < object->width; ++x) {
                const std::uint8_t* p = row + x * 4;
                if (p[0] != b || p[1] != g || p[2] != r || p[3] != a) return false;
            }
        }
        return true;
    }
};

TEST_F(Images, TransparentThirtyTwoBitCanvasIsAllZero) {
    obj_number handle = image_create(0, 5, 3, 0x120);
    ASSERT_NE(handle, 0);
    EXPECT_EQ(static_cast<image_handle_t>(handle), image_handle(0));
    EXPECT_TRUE(every_pixel_is(0, 0, 0, 0, 0));
    const image_record* record = image_lookup(0);
    EXPECT_EQ(record->width, 5);
    EXPECT_EQ(record->height, 3);
    EXPECT_EQ(record->depth, 32);
    EXPECT_EQ(record->source_depth, 32);
}

TEST_F(Images, OpaqueThirtyTwoBitImageIsOpaqueBlack) {
    ASSERT_NE(image_create(1, 4, 2, 32), 0);
    EXPECT_TRUE(every_pixel_is(1, 0, 0, 0, 255));
}

TEST_F(Images, LowDepthsBecomeBlackTwentyFourBitImages) {
    for (std::uint32_t depth : {0u, 8u, 16u, 24u, 8u | IMAGE_TRANSPARENT}) {
        ASSERT_NE(image_create(2, 5, 2, depth), 0) << depth;
        const image_record* record = image_lookup(2);
        EXPECT_EQ(record->depth, 24) << depth;
        EXPECT_EQ(record->source_depth, 24) << depth;
        const bitmap* object = bitmap_of(2);
        EXPECT_EQ(object->stride, 16);
        for (std::int32_t i = 0; i < object->stride * object->height; ++i) {
            ASSERT_EQ(object->pixels[i], 0) << depth;
        }
    }
}

TEST_F(Images, RefusedSizesAndDepthsLeaveTheNumberEmpty) {
    struct attempt {
        std::int32_t width, height;
        std::uint32_t depth;
    };
    for (attempt bad : {attempt{0, 5, 32}, attempt{5, 0, 32}, attempt{-3, 5, 32},
                        attempt{5, -3, 24}, attempt{32768, 1, 32}, attempt{1, 32768, 32},
                        attempt{4, 4, 25}, attempt{4, 4, 48}, attempt{4, 4, 0xFFFFFFFF}}) {
        ASSERT_NE(image_create(3, 2, 2, 32), 0);
        EXPECT_EQ(image_create(3, bad.width, bad.height, bad.depth), 0);
        EXPECT_EQ(image_is_valid(3), 0);
        EXPECT_EQ(image_handle(3), 0u);
    }
}

TEST_F(Images, CreatingUnderAUsedNumberFreesTheOldImage) {
    auto first = static_cast<image_handle_t>(image_create(4, 2, 2, 32));
    auto second = static_cast<image_handle_t>(image_create(4, 3, 3, 24));
    ASSERT_NE(second, 0u);
    EXPECT_NE(first, second);
    EXPECT_EQ(bitmap_get(first), nullptr);
    EXPECT_EQ(image_handle(4), second);
    EXPECT_EQ(image_width(4), 3);
}

TEST_F(Images, FreeingTwiceOrAFreeNumberIsHarmless) {
    auto handle = static_cast<image_handle_t>(image_create(5, 2, 2, 32));
    image_free(5);
    EXPECT_EQ(bitmap_get(handle), nullptr);
    image_free(5);
    image_free(6);
    image_free(NUMBER_ANY);
    EXPECT_EQ(image_is_valid(5), 0);
}

TEST_F(Images, QueriesOfFreeNumbersGiveZero) {
    for (obj_number n : {obj_number{6}, obj_number{1000}, obj_number{-5}}) {
        EXPECT_EQ(image_is_valid(n), 0);
        EXPECT_EQ(image_handle(n), 0u);
        EXPECT_EQ(image_width(n), 0);
        EXPECT_EQ(image_height(n), 0);
        EXPECT_EQ(image_lookup(n), nullptr);
    }
    EXPECT_EQ(image_create(-5, 2, 2, 32), 0);
}

TEST_F(Images, NumberAnyGivesAnIdentifierThatTheOperationsAccept) {
    obj_number id = image_create(NUMBER_ANY, 6, 4, 32);
    ASSERT_NE(id, 0);
    EXPECT_NE(image_is_valid(id), 0);
    EXPECT_EQ(image_width(id), 6);
    EXPECT_EQ(image_height(id), 4);
    image_handle_t handle = image_handle(id);
    ASSERT_NE(bitmap_get(handle), nullptr);
    image_free(id);
    EXPECT_EQ(bitmap_get(handle), nullptr);
    EXPECT_EQ(image_create(NUMBER_ANY, 0, 4, 32), 0);
}

TEST_F(Images, HighNumbersGrowTheTable) {
    ASSERT_NE(image_create(100, 1, 1, 32), 0);
    EXPECT_EQ(image_width(100), 1);
    EXPECT_EQ(image_is_valid(99), 0);
    image_free(100);
}

TEST_F(Images, EndFreesNumberedAndSeparateImages) {
    auto numbered = static_cast<image_handle_t>(image_create(7, 1, 1, 32));
    obj_number id = image_create(NUMBER_ANY, 1, 1, 32);
    image_handle_t separate = image_handle(id);
    images_end();
    EXPECT_EQ(image_is_valid(7), 0);
    EXPECT_EQ(bitmap_get(numbered), nullptr);
    EXPECT_EQ(bitmap_get(separate), nullptr);
}

} // namespace
} // namespace korvel
