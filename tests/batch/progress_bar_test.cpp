// The progress bar's text: the figures a user reads off it, and a width that never makes the
// terminal wrap the line (a wrapped line can no longer be redrawn in place).
#include "batch/terminal_progress.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

bool shows(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(BatchProgressBar, ShowsFramesPercentElapsedRemainingAndRate) {
    const std::string text = progress_bar_text(3, 12, 90.0, 120);
    EXPECT_TRUE(shows(text, "3/12")) << text;
    EXPECT_TRUE(shows(text, " 25%")) << text;
    EXPECT_TRUE(shows(text, "elapsed 1:30")) << text;
    // 30 s per frame and 9 frames to go.
    EXPECT_TRUE(shows(text, "remaining 4:30")) << text;
    EXPECT_TRUE(shows(text, "2.0 frames/min")) << text;
    EXPECT_TRUE(shows(text, "[######......")) << text;
}

TEST(BatchProgressBar, CountsHoursOnceARunIsLong) {
    const std::string text = progress_bar_text(1, 3, 3725.0, 120);
    EXPECT_TRUE(shows(text, "elapsed 1:02:05")) << text;
    EXPECT_TRUE(shows(text, "remaining 2:04:10")) << text;
}

TEST(BatchProgressBar, ClaimsNoRateOrRemainingTimeBeforeTheFirstFrame) {
    const std::string text = progress_bar_text(0, 5, 12.0, 120);
    EXPECT_TRUE(shows(text, "0/5   0%")) << text;
    EXPECT_TRUE(shows(text, "remaining --:--")) << text;
    EXPECT_TRUE(shows(text, "-- frames/min")) << text;
}

TEST(BatchProgressBar, IsFullAtTheLastFrame) {
    const std::string text = progress_bar_text(7, 7, 10.0, 120);
    EXPECT_TRUE(shows(text, "7/7 100%")) << text;
    EXPECT_TRUE(shows(text, "remaining 0:00")) << text;
    EXPECT_FALSE(shows(text, ".]")) << text;
}

TEST(BatchProgressBar, StaysNarrowerThanTheTerminalAndDropsTheBarFirst) {
    for (std::int32_t columns : {1, 10, 40, 60, 80, 100, 300}) {
        const std::string text = progress_bar_text(1234, 5000, 4000.0, columns);
        EXPECT_LT(text.size(), static_cast<std::size_t>(std::max(columns, 1))) << columns;
    }
    EXPECT_TRUE(shows(progress_bar_text(1, 2, 1.0, 100), "[")) << "room for a bar";
    const std::string no_bar = progress_bar_text(1, 2, 1.0, 60);
    EXPECT_FALSE(shows(no_bar, "[")) << no_bar;
    EXPECT_TRUE(shows(no_bar, "remaining 0:01, 60.0 frames/min")) << no_bar;
    const std::string brief = progress_bar_text(1, 2, 1.0, 45);
    EXPECT_TRUE(shows(brief, "1/2  50% 0:01, 0:01 left, 60.0/min")) << brief;
}

} // namespace
} // namespace korvel
