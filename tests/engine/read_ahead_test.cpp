// What work ahead of the frame being built may hold and hand over. Read-ahead and frames being
// written share a budget that the read-ahead never passes. A layer decoded ahead is handed over
// only while its file is the one decoded.
#include "engine/decode_cache.h"
#include "engine/engine_runtime.h"
#include "engine/frame_blender.h"
#include "engine/stride_plan.h"
#include "engine/work_allowance.h"
#include "runtime/utf.h"
#include "tests/engine/engine_fixture.h"
#include "tests/support/test_png.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <thread>

namespace korvel::test {
namespace {

using namespace std::chrono_literals;

constexpr std::int64_t BUDGET = 10;

// For work of other threads that signals nothing a test could wait on.
bool eventually(const std::function<bool()>& condition) {
    for (const auto deadline = std::chrono::steady_clock::now() + 20s; !condition();) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// A frame handed over holds its share at once, even past the budget, and the read-ahead then takes
// nothing until that share is given back; nobody waits.
TEST(work_allowance, read_ahead_stays_within_the_budget_that_frames_handed_over_may_pass) {
    work_allowance allowance(BUDGET);
    EXPECT_TRUE(allowance.try_take(4));
    EXPECT_TRUE(allowance.try_take(6));
    EXPECT_FALSE(allowance.try_take(1));
    allowance.take_now(3 * BUDGET);
    allowance.give_back(BUDGET);
    EXPECT_FALSE(allowance.try_take(1)) << "the read-ahead took what a frame holds";
    allowance.give_back(3 * BUDGET);
    EXPECT_TRUE(allowance.try_take(BUDGET));
}

// Replaced by a rename, the file gets a new inode; rewritten in place (an editor saving over it,
// `cp new.png frame.png`) it keeps its inode, and only its size and time tell the change.
TEST(decode_cache, a_file_replaced_or_rewritten_after_decoding_ahead_is_left_for_the_caller) {
    engine_runtime_start();
    for (const bool in_place : {false, true}) {
        const scratch_folder in;
        write_frames(in.root(), 2, 8, 6, true);
        const std::u16string folder = utf16_from_utf8(in.root() + "/");
        const auto names = std::make_shared<name_list>(name_list{u"frame001.png", u"frame002.png"});
        decode_cache cache(2);
        cache.plan(coming_loads(folder, names,
                                work_cursor(std::make_shared<stride_plan>(
                                    stride_shape{0, 2, 2, false, 1, 1, false},
                                    std::vector<std::int32_t>{255, 128}, stack_blend))));
        ASSERT_TRUE(eventually([&] { return cache.counters().decoded == 2; }));
        ASSERT_TRUE(write_png(in.path("new.png"), pattern_image(8, 7, 9, true), true));
        struct stat before {
        }, after{};
        stat(in.path("frame002.png").c_str(), &before);
        if (in_place)
            in.write("frame002.png", read_file(in.path("new.png")));
        else
            std::filesystem::rename(in.path("new.png"), in.path("frame002.png"));
        stat(in.path("frame002.png").c_str(), &after);
        ASSERT_EQ(before.st_ino == after.st_ino, in_place);

        std::int32_t depth = 0;
        const image_handle_t unchanged = cache.take(folder + (*names)[0], &depth);
        EXPECT_NE(unchanged, 0u);
        bitmap_delete(unchanged);
        EXPECT_EQ(cache.take(folder + (*names)[1], &depth), 0u) << in_place;
        EXPECT_EQ(cache.counters().stale, 1);
        EXPECT_EQ(cache.counters().entries, 0);
    }
}

} // namespace
} // namespace korvel::test
