// How much work the engine does ahead: one frame per thread each for read-ahead and for frames
// waiting to be encoded, fewer when frames are so large that they would pass the memory budget.
#include "app/engine_limits.h"

#include <gtest/gtest.h>
#include <oneapi/tbb/global_control.h>
#include <oneapi/tbb/task_arena.h>

namespace korvel {
namespace {

void expect_shape(const engine_shape& shape, std::int32_t threads, std::int32_t ahead) {
    EXPECT_EQ(shape.threads, threads);
    EXPECT_EQ(shape.read_ahead, ahead);
    EXPECT_EQ(shape.in_flight, ahead);
}

TEST(engine_shape, one_frame_per_thread_ahead_within_the_budget_and_the_thread_limit) {
    tbb::global_control limit(tbb::global_control::max_allowed_parallelism, 4);
    tbb::task_arena(4).execute([] {
        expect_shape(engine_shape_for(1280, 720), 4, 4);
        // 8192 x 4096 x 4 bytes is 128 MiB: two fit each budget, 8192 x 8192 one, anything
        // larger none.
        expect_shape(engine_shape_for(8192, 4096), 4, 2);
        expect_shape(engine_shape_for(8192, 8192), 4, 1);
        expect_shape(engine_shape_for(8192, 8193), 4, 0);
        // Sizes no canvas can have (the job fails on them) still give a usable shape.
        expect_shape(engine_shape_for(0, -3), 4, 4);
    });
    tbb::global_control one(tbb::global_control::max_allowed_parallelism, 1);
    expect_shape(engine_shape_for(1280, 720), 1, 1);
}

} // namespace
} // namespace korvel
