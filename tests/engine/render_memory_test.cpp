// The memory a job holds does not grow with L: the canvas, the layer being drawn, at most one
// layer per thread decoded ahead and one frame per thread waiting to be encoded. Bitmaps are
// counted through the bitmap registry itself at every cancel check, and none is left at the end.
#include "tests/engine/engine_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace korvel::test {
namespace {

TEST(render_memory, live_bitmaps_stay_within_two_plus_two_per_thread_however_large_l_is) {
    engine_runtime_start();
    constexpr int count = 40;
    scratch_dir in;
    write_inputs(in, count, 64, 48);
    for (int threads : {2, 4}) {
        scratch_dir out;
        test_host host(in, out, count, 64, 48);
        host.layers = 20;
        const bitmap_census census;
        int peak = 0;
        int left_at_end = -1;
        host.cancel_at = [&](int) {
            peak = std::max(peak, census.live());
            return false;
        };
        host.at_job_end = [&] { left_at_end = census.live(); };
        run_with_threads(host, threads);

        EXPECT_EQ(host.completed, 1);
        EXPECT_GE(peak, 1);
        EXPECT_LE(peak, 2 + 2 * threads) << threads << " threads";
        EXPECT_EQ(left_at_end, 0) << threads << " threads";
    }
}

} // namespace
} // namespace korvel::test
