// The fixture of the image tests: the image table and the codec registry ready, and the numbers
// the tests use freed before and after each test.
#pragma once

#include "image/codec.h"
#include "image/image.h"

#include <gtest/gtest.h>

namespace korvel::test {

class ImageTest : public ::testing::Test {
protected:
    static constexpr obj_number numbers_used = 16;

    void SetUp() override {
        images_init();
        codecs_init();
        free_numbers();
    }
    void TearDown() override { free_numbers(); }

    static void free_numbers() {
        for (obj_number n = 0; n < numbers_used; ++n)
            image_free(n);
    }
    static const bitmap* bitmap_of(obj_number n) { return bitmap_get(image_handle(n)); }
};

} // namespace korvel::test
