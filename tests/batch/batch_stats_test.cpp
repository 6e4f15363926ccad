// --stats: one line with the engine's time per stage, in the form the benchmark reads.
#include "batch/batch_stats.h"

#include "render_process.h"
#include "test_pictures.h"
#include "work_folder.h"

#include <gtest/gtest.h>

#include <regex>

namespace korvel {
namespace {

TEST(BatchStatsLine, GivesSecondsWithTwoDecimalsPerStage) {
    EXPECT_EQ(render_stats_line({1234567890, 450000000, 2104999999, 3}),
              "decode 1.23 s, composite 0.45 s, encode 2.10 s (summed over threads)");
    EXPECT_EQ(render_stats_line({0, 0, 0, 0}),
              "decode 0.00 s, composite 0.00 s, encode 0.00 s (summed over threads)");
    EXPECT_EQ(render_stats_line({3600000000000, 5000000, 4999999, 1}),
              "decode 3600.00 s, composite 0.01 s, encode 0.00 s (summed over threads)");
}

TEST(BatchStats, PrintsTheTotalsOfTheRenderOnlyWhenAskedEvenWhenQuiet) {
    const test::work_folder work;
    const std::string in = work.make_folder("in");
    test::write_frames(in, 6, 320, 200, 4);
    const std::string out = work.make_folder("out");
    const test::render_run plain = test::run_render({"-q", "-l", "2", in, out});
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(plain.err, "");
    const test::render_run stats = test::run_render({"-q", "--stats", "-l", "2", in, out});
    EXPECT_EQ(stats.status, 0);
    std::smatch figures;
    const std::regex line("^decode ([0-9]+\\.[0-9]{2}) s, composite ([0-9]+\\.[0-9]{2}) s, "
                          "encode ([0-9]+\\.[0-9]{2}) s \\(summed over threads\\)\n$");
    ASSERT_TRUE(std::regex_match(stats.err, figures, line)) << stats.err;
    const double total =
        std::stod(figures[1].str()) + std::stod(figures[2].str()) + std::stod(figures[3].str());
    EXPECT_GT(total, 0.0) << "decoding 6 and encoding 3 frames takes some time";
}

} // namespace
} // namespace korvel
