// The saver when a frame cannot take its name: the frames before it keep theirs, and frames
// already written behind it leave no temporary file and are never told saved.
#include "engine/frame_saver.h"
#include "engine/png_sink.h"
#include "runtime/utf.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <vector>

namespace korvel::test {
namespace {

// Noise takes the encoder long enough that the small frames behind it are written first.
image_handle_t canvas(int side) {
    const image_handle_t handle = bitmap_create(side, side, 32);
    bitmap* pixels = bitmap_get(handle);
    std::minstd_rand noise(side);
    for (std::int32_t y = 0; y < side; ++y)
        for (std::int32_t x = 0; x < side * 4; ++x)
            pixels->pixels[y * pixels->stride + x] = static_cast<std::uint8_t>(noise());
    return handle;
}

TEST(frame_saver, frames_written_behind_one_that_cannot_be_named_are_removed_unnamed) {
    const scratch_folder out;
    // A folder in the second frame's place: its file is written, then cannot take the name.
    std::filesystem::create_directory(out.path("2.png"));
    std::mutex told_lock;
    std::vector<int> told;
    {
        png_sink sink(utf16_from_utf8(out.root() + "/"), 1, {});
        frame_saver saver(&sink, {.in_flight = 3, .encoders = 3});
        const int sides[] = {8, 1500, 8, 8};
        for (int i = 0; i < 4; ++i) {
            const std::u16string path = utf16_from_utf8(out.path(std::to_string(i + 1) + ".png"));
            saver.hand_over(canvas(sides[i]), path, [&, i] {
                const std::lock_guard guard(told_lock);
                told.push_back(i + 1);
            });
        }
        saver.finish();
        EXPECT_TRUE(saver.failed());
        EXPECT_EQ(saver.failed_path(), utf16_from_utf8(out.path("2.png")));
    }
    EXPECT_EQ(told, std::vector<int>{1});
    EXPECT_EQ(folder_names(out.root()), (std::vector<std::string>{"1.png", "2.png"}));
}

} // namespace
} // namespace korvel::test
