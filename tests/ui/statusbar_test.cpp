// Status bars: where the fields end and how far an owner-drawn progress fills, at the edges of
// their ranges, and the bar of a window built like the tool's main window.
#include "toolkit_fixture.h"

#include "ui/statusbar.h"
#include "ui/statusbar_layout.h"

#include <QProgressBar>

#include <climits>

namespace korvel {
namespace {

TEST(statusbar_layout, FieldsShareWhatTheFixedOnesLeaveAndProgressStaysInItsRange) {
    const std::vector<std::vector<std::int32_t>> rows[] = {
        {{100, SIZE_KEEP, SIZE_KEEP}, {330}, {100, 215, 330}},
        {{SIZE_KEEP, SIZE_KEEP, SIZE_KEEP}, {100}, {33, 66, 99}}, // the remainder stays unused
        {{200, SIZE_KEEP, 50}, {200}, {200, 150, 200}},           // wider than the bar: a debt
    };
    for (const auto& row : rows) {
        std::vector<std::int32_t> edges(row[0].size());
        statusbar_field_edges(row[0].data(), std::int32_t(edges.size()), row[1][0], edges.data());
        EXPECT_EQ(edges, row[2]);
    }
    // Field width, value, minimum, maximum and the width filled, inside a border of one pixel.
    const std::int32_t fills[][5] = {
        {165, 40, 0, 100, 65},   {165, -3, 0, 100, 0},
        {165, 250, 0, 100, 163}, {165, 0, -50, 50, 81},
        {165, 5, 5, 5, 0},       {165, 6, 5, 5, 163},
        {1, 100, 0, 100, 0},     {100002, INT_MAX - 1, 0, INT_MAX, 99999}};
    for (const auto& fill : fills)
        EXPECT_EQ(progress_fill_width(fill[0], fill[1], fill[2], fill[3]), fill[4])
            << fill[0] << " wide at " << fill[1] << " of " << fill[2] << " to " << fill[3];
}

using statusbar = toolkit_test;

TEST_F(statusbar, SitsBelowTheGadgetsAndTextHidesTheProgressUntilItComesBack) {
    auto* progress = main_window()->findChild<QProgressBar*>();
    const QWidget* bar = progress->parentWidget();
    EXPECT_EQ(bar->geometry(), QRect(0, 180 - bar->height(), 330, bar->height()));
    EXPECT_EQ(progress->geometry(), QRect(165 + 2, 3, 165 - 8, bar->height() - 6));
    statusbar_set_progress(BAR, 1, 40);
    statusbar_set_text(BAR, 1, u"Done.");
    EXPECT_FALSE(progress->isVisible());
    statusbar_set_progress(BAR, 1, 70);
    EXPECT_TRUE(progress->isVisible());
    EXPECT_EQ(progress->value(), 70);
}

} // namespace
} // namespace korvel
