// Pixel owners and their handles: row sizes, zero-filled blocks, accepted depths, and handles
// that are never reused or dereferenced once retired.
#include "image/bitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>
#include <vector>

namespace korvel {
namespace {

TEST(RowBytes, PadsEveryDepthToFourBytes) {
    EXPECT_EQ(row_bytes(5, 24), 16);
    EXPECT_EQ(row_bytes(5, 32), 20);
    EXPECT_EQ(row_bytes(1, 1), 4);
    EXPECT_EQ(row_bytes(33, 1), 8);
    EXPECT_EQ(row_bytes(9, 4), 8);
    EXPECT_EQ(row_bytes(5, 8), 8);
    EXPECT_EQ(row_bytes(3, 16), 8);
    EXPECT_EQ(row_bytes(3, 15), 8);
    EXPECT_EQ(row_bytes(4, 24), 12);
    EXPECT_EQ(row_bytes(32767, 32), 131068);
}

TEST(BitmapCreate, GivesZeroFilledBottomUpRows) {
    image_handle_t handle = bitmap_create(7, 3, 24);
    ASSERT_NE(handle, 0u);
    const bitmap* object = bitmap_get(handle);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->type, OBJ_BITMAP);
    EXPECT_EQ(object->width, 7);
    EXPECT_EQ(object->height, 3);
    EXPECT_EQ(object->depth, 24);
    EXPECT_EQ(object->stride, row_bytes(7, 24));
    EXPECT_EQ(object->icon_pixels, nullptr);
    const std::uint8_t* begin = object->pixels;
    const std::uint8_t* end = begin + object->stride * 3;
    EXPECT_TRUE(std::all_of(begin, end, [](std::uint8_t b) { return b == 0; }));
    bitmap_delete(handle);
}

TEST(BitmapCreate, RaisesLowDepthsAndRefusesUnsupportedOnes) {
    for (std::int32_t depth : {0, 1, 8, 16, 23}) {
        image_handle_t handle = bitmap_create(2, 2, depth);
        ASSERT_NE(handle, 0u) << depth;
        EXPECT_EQ(bitmap_get(handle)->depth, 24) << depth;
        bitmap_delete(handle);
    }
    EXPECT_EQ(bitmap_create_exact(3, 2, 8), 0u);
    for (std::int32_t depth : {25, 31, 33, 48, 64})
        EXPECT_EQ(bitmap_create(2, 2, depth), 0u) << depth;
}

TEST(BitmapCreate, RefusesSizesOutsideOneTo32767) {
    EXPECT_EQ(bitmap_create(0, 5, 32), 0u);
    EXPECT_EQ(bitmap_create(5, 0, 32), 0u);
    EXPECT_EQ(bitmap_create(-1, 5, 32), 0u);
    EXPECT_EQ(bitmap_create(5, -5, 32), 0u);
    EXPECT_EQ(bitmap_create(32768, 1, 24), 0u);
    EXPECT_EQ(bitmap_create(1, 32768, 24), 0u);
    image_handle_t widest = bitmap_create(32767, 1, 32);
    EXPECT_NE(widest, 0u);
    bitmap_delete(widest);
}

TEST(BitmapHandles, UnknownAndRetiredHandlesNameNothing) {
    EXPECT_EQ(bitmap_get(0), nullptr);
    EXPECT_EQ(object_type(0), 0);
    EXPECT_EQ(bitmap_get(0xFFFFFFF0u), nullptr);
    image_handle_t handle = bitmap_create(1, 1, 32);
    EXPECT_EQ(object_type(handle), OBJ_BITMAP);
    bitmap_delete(handle);
    EXPECT_EQ(bitmap_get(handle), nullptr);
    EXPECT_EQ(object_type(handle), 0);
    bitmap_delete(handle); // a second delete is ignored
    image_handle_t next = bitmap_create(1, 1, 32);
    EXPECT_NE(next, handle);
    bitmap_delete(next);
}

TEST(IconCreate, CopiesTheColourRowsAndHoldsNoPixelMemory) {
    std::vector<std::uint8_t> rows = {1, 2, 3, 4, 5, 6, 7, 8};
    image_handle_t handle = icon_create(2, 1, 8, rows.data());
    ASSERT_NE(handle, 0u);
    rows[0] = 99;
    const bitmap* icon = bitmap_get(handle);
    EXPECT_EQ(object_type(handle), OBJ_ICON);
    EXPECT_EQ(icon->pixels, nullptr);
    EXPECT_EQ(icon->depth, 8);
    EXPECT_EQ(icon->stride, 8);
    EXPECT_EQ(std::vector<std::uint8_t>(icon->icon_pixels, icon->icon_pixels + 8),
              (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    bitmap_delete(handle);
    EXPECT_EQ(icon_create(2, 1, 8, nullptr), 0u);
    EXPECT_EQ(icon_create(0, 1, 8, rows.data()), 0u);
}

TEST(BitmapHandles, ThreadsCreatingAndDeletingAtOnceGetDistinctHandles) {
    constexpr int per_thread = 500;
    std::vector<image_handle_t> made[2];
    auto work = [](std::vector<image_handle_t>* out) {
        for (int i = 0; i < per_thread; ++i) {
            image_handle_t handle = bitmap_create(4, 4, 32);
            out->push_back(handle);
            bitmap_get(handle)->pixels[0] = static_cast<std::uint8_t>(i);
            if (i % 2 == 0) bitmap_delete(handle);
        }
    };
    std::thread first(work, &made[0]);
    std::thread second(work, &made[1]);
    first.join();
    second.join();
    std::set<image_handle_t> distinct(made[0].begin(), made[0].end());
    distinct.insert(made[1].begin(), made[1].end());
    EXPECT_EQ(distinct.size(), 2u * per_thread);
    EXPECT_EQ(distinct.count(0), 0u);
    for (auto& list : made) {
        for (image_handle_t handle : list)
            bitmap_delete(handle);
    }
}

} // namespace
} // namespace korvel
