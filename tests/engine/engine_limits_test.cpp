// How much work the engine does ahead: two frames per thread shared by read-ahead (a frame per
// layer) and encoding (the rows written out, and the canvas or the compressor's tables), less when
// frames are so large that they would pass the memory budget.
#include "engine/engine_limits.h"

#include <gtest/gtest.h>
#include <oneapi/tbb/global_control.h>
#include <oneapi/tbb/task_arena.h>

namespace korvel {
namespace {

void expect_shape(const engine_shape& shape, std::int32_t threads, std::int32_t ahead,
                  std::int32_t in_flight) {
    EXPECT_EQ(shape.threads, threads);
    EXPECT_EQ(shape.read_ahead, ahead);
    EXPECT_EQ(shape.in_flight, in_flight);
    EXPECT_LE(shape.work_ahead, WORK_AHEAD_BUDGET);
    EXPECT_LE(shape.work_ahead, 2 * threads * shape.frame_bytes);
    EXPECT_GT(shape.encode_bytes, shape.frame_bytes);
}

TEST(engine_shape, one_frame_per_thread_ahead_within_the_budget_and_the_thread_limit) {
    {
        tbb::global_control limit(tbb::global_control::max_allowed_parallelism, 16);
        tbb::task_arena(16).execute([] {
            // 32 frames of 1920 x 1080 (8 MB each) leave room for several encodes at once, each
            // its rows and the compressor's tables (the canvas is freed before those are taken).
            expect_shape(engine_shape_for(1920, 1080), 16, 32, 14);
        });
    }
    tbb::global_control limit(tbb::global_control::max_allowed_parallelism, 4);
    tbb::task_arena(4).execute([] {
        expect_shape(engine_shape_for(1280, 720), 4, 8, 2);
        // 8192 x 4096 x 4 bytes is 128 MiB: four fit the budget, so four layers ahead; one
        // frame being encoded. 8192 x 8192 two layers; a little larger one; a gigabyte frame
        // none, and no frame waits to be encoded.
        expect_shape(engine_shape_for(8192, 4096), 4, 4, 1);
        expect_shape(engine_shape_for(8192, 8192), 4, 2, 1);
        expect_shape(engine_shape_for(8192, 8193), 4, 1, 1);
        expect_shape(engine_shape_for(16384, 16384), 4, 0, 0);
        // Sizes no canvas can have (the job fails on them) still give a usable shape.
        expect_shape(engine_shape_for(0, -3), 4, 8, 1);
    });
    tbb::global_control two(tbb::global_control::max_allowed_parallelism, 2);
    tbb::task_arena(2).execute([] {
        // A frame being encoded fits the budget on its own, so encoding and read-ahead together
        // hold no more than the read-ahead alone would with long groups.
        const engine_shape shape = engine_shape_for(1280, 720);
        expect_shape(shape, 2, 4, 1);
        EXPECT_LE(shape.encode_bytes, shape.work_ahead);
    });
    tbb::global_control one(tbb::global_control::max_allowed_parallelism, 1);
    expect_shape(engine_shape_for(1280, 720), 1, 2, 1);
}

} // namespace
} // namespace korvel
