// The read-ahead cache on its own: what it hands over is exactly what loading the file now gives,
// a file changed since it was decoded is left to the caller, and work not yet started is handed
// back rather than waited for.
#include "engine/decode_cache.h"
#include "image/codec.h"
#include "tests/engine/engine_fixture.h"
#include "tests/runtime/wait_until.h"

#include <gtest/gtest.h>
#include <oneapi/tbb/global_control.h>

#include <cstring>
#include <filesystem>
#include <sys/stat.h>

namespace korvel::test {
namespace {

class decode_cache_test : public ::testing::Test {
protected:
    void SetUp() override {
        engine_runtime_start();
        write_inputs(in, 10, 48, 32);
    }

    // The first count inputs from first, to be loaded in that order.
    load_plan plan_of(int first, int count) const {
        load_plan plan;
        plan.folder = in.text();
        for (int i = first; i < first + count; ++i)
            plan.current.push_back(utf16_of(input_name(i)));
        return plan;
    }

    std::u16string path_of(int index) const { return in.text() + utf16_of(input_name(index)); }

    static std::u16string utf16_of(const std::string& name) { return {name.begin(), name.end()}; }

    // The handle holds what loading the file now gives; it is freed either way.
    void expect_loaded_now(image_handle_t handle, std::int32_t depth, int index) const {
        std::int32_t now_depth = 0;
        const image_handle_t now = bitmap_load(path_of(index).c_str(), &now_depth);
        const bitmap* a = bitmap_get(handle);
        const bitmap* b = bitmap_get(now);
        ASSERT_TRUE(a && b);
        EXPECT_EQ(depth, now_depth);
        ASSERT_EQ(a->stride * a->height, b->stride * b->height);
        EXPECT_EQ(
            std::memcmp(a->pixels, b->pixels, static_cast<std::size_t>(a->stride) * a->height), 0);
        bitmap_delete(handle);
        bitmap_delete(now);
    }

    scratch_dir in;
};

TEST_F(decode_cache_test, hands_over_what_it_decoded_ahead_while_the_file_is_unchanged) {
    decode_cache cache(3);
    cache.plan(plan_of(0, 3));
    ASSERT_TRUE(wait_until([&] { return cache.counters().decoded == 3; }));
    for (int i = 0; i < 3; ++i) {
        std::int32_t depth = 0;
        const image_handle_t handle = cache.take(path_of(i), &depth);
        ASSERT_NE(handle, 0u) << "input " << i;
        expect_loaded_now(handle, depth, i);
    }
    const decode_cache_counters counters = cache.counters();
    EXPECT_EQ(counters.hits, 3);
    EXPECT_EQ(counters.misses, 0);
    EXPECT_EQ(counters.entries, 0);
}

TEST_F(decode_cache_test, a_file_replaced_after_decoding_is_left_for_the_caller_to_load) {
    decode_cache cache(1);
    cache.plan(plan_of(0, 1));
    ASSERT_TRUE(wait_until([&] { return cache.counters().decoded == 1; }));
    ASSERT_TRUE(write_png(in.path() + "fresh.tmp", test_picture(48, 32, true, 1234)));
    std::filesystem::rename(in.path() + "fresh.tmp", in.path() + input_name(0));

    std::int32_t depth = 0;
    EXPECT_EQ(cache.take(path_of(0), &depth), 0u);
    EXPECT_EQ(cache.counters().stale, 1);
    EXPECT_EQ(cache.counters().entries, 0);
}

// A pipe named like a frame gives its bytes only once, to whoever reads first: read ahead, it would
// block a pool thread and rob the job of the data. It is left for the job to read itself.
TEST_F(decode_cache_test, a_pipe_named_like_a_frame_is_never_opened_ahead) {
    const std::string pipe = in.path() + input_name(1);
    std::filesystem::remove(pipe);
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    decode_cache cache(3);
    cache.plan(plan_of(0, 3));
    ASSERT_TRUE(wait_until([&] { return cache.counters().decoded == 2; }));
    std::int32_t depth = 0;
    EXPECT_EQ(cache.take(path_of(1), &depth), 0u);
    for (int i : {0, 2}) {
        const image_handle_t handle = cache.take(path_of(i), &depth);
        ASSERT_NE(handle, 0u) << "input " << i;
        bitmap_delete(handle);
    }
}

TEST_F(decode_cache_test, on_one_thread_queued_decodes_are_handed_back_instead_of_waited_for) {
    tbb::global_control one(tbb::global_control::max_allowed_parallelism, 1);
    decode_cache cache(2);
    cache.plan(plan_of(0, 4));
    for (int i = 0; i < 4; ++i) {
        std::int32_t depth = 0;
        EXPECT_EQ(cache.take(path_of(i), &depth), 0u);
    }
    EXPECT_EQ(cache.counters().decoded, 0);
    EXPECT_EQ(cache.counters().misses, 4);
}

TEST_F(decode_cache_test, layers_hold_their_real_size_of_the_allowance_until_taken_or_dropped) {
    // Shares sized for a tiny canvas: the 48 x 32 layers are larger than their share.
    work_allowance allowance(1 << 20);
    {
        decode_cache cache(2, &allowance, 16);
        cache.plan(plan_of(0, 2));
        ASSERT_TRUE(wait_until([&] { return cache.counters().decoded == 2; }));
        std::int32_t depth = 0;
        bitmap_delete(cache.take(path_of(0), &depth));
        const std::int64_t held_for_second = allowance.held();
        const image_handle_t second = cache.take(path_of(1), &depth);
        const bitmap* pixels = bitmap_get(second);
        ASSERT_NE(pixels, nullptr);
        EXPECT_EQ(held_for_second, std::int64_t{pixels->stride} * pixels->height);
        EXPECT_GT(held_for_second, 16);
        bitmap_delete(second);
        // Layers decoded ahead and never taken give their share back when dropped.
        cache.plan(plan_of(2, 2));
        ASSERT_TRUE(wait_until([&] { return cache.counters().decoded == 4; }));
        EXPECT_GT(allowance.held(), 32);
    }
    EXPECT_EQ(allowance.held(), 0);
}

} // namespace
} // namespace korvel::test
