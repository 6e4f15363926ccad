// Status bars: the field layout and owner-drawn progress arithmetic, and text and progress fields
// on a window built like the tool's main window.
#include "toolkit_fixture.h"

#include "ui/gadget.h"
#include "ui/statusbar.h"
#include "ui/statusbar_layout.h"
#include "ui/window.h"

#include <QLabel>
#include <QProgressBar>
#include <QWidget>

#include <climits>

namespace korvel {
namespace {

std::vector<std::int32_t> edges(std::vector<std::int32_t> widths, std::int32_t usable) {
    std::vector<std::int32_t> right(widths.size());
    statusbar_field_edges(widths.data(), static_cast<std::int32_t>(widths.size()), usable,
                          right.data());
    return right;
}

TEST(statusbar_layout, FieldEdgesAreRunningSumsAndKeptFieldsShareTheRest) {
    EXPECT_EQ(edges({165, 165}, 330), (std::vector<std::int32_t>{165, 330}));
    EXPECT_EQ(edges({100, SIZE_KEEP, SIZE_KEEP}, 330), (std::vector<std::int32_t>{100, 215, 330}));
    // Integer division leaves the remainder unused.
    EXPECT_EQ(edges({SIZE_KEEP, SIZE_KEEP, SIZE_KEEP}, 100),
              (std::vector<std::int32_t>{33, 66, 99}));
    // Fixed fields wider than the bar leave a negative share.
    EXPECT_EQ(edges({200, SIZE_KEEP, 50}, 200), (std::vector<std::int32_t>{200, 150, 200}));
    EXPECT_TRUE(edges({}, 330).empty());
}

TEST(statusbar_layout, OwnerDrawnProgressFillsItsShareOfTheInnerWidth) {
    EXPECT_EQ(progress_fill_width(165, 40, 0, 100), 65);
    EXPECT_EQ(progress_fill_width(165, 0, 0, 100), 0);
    EXPECT_EQ(progress_fill_width(165, -3, 0, 100), 0);
    EXPECT_EQ(progress_fill_width(165, 100, 0, 100), 163);
    EXPECT_EQ(progress_fill_width(165, 250, 0, 100), 163);
    EXPECT_EQ(progress_fill_width(165, 99, 0, 100), 161);
    EXPECT_EQ(progress_fill_width(165, 0, -50, 50), 81);
    // An empty range is empty at its value and full above it; nothing divides by zero.
    EXPECT_EQ(progress_fill_width(165, 5, 5, 5), 0);
    EXPECT_EQ(progress_fill_width(165, 6, 5, 5), 163);
    // Multiplying first must not overflow for wide fields and ranges.
    EXPECT_EQ(progress_fill_width(100002, INT_MAX - 1, 0, INT_MAX), 99999);
    EXPECT_EQ(progress_fill_width(1, 100, 0, 100), 0);
}

class statusbar_test : public toolkit_test {
protected:
    void SetUp() override {
        toolkit_test::SetUp();
        ASSERT_TRUE(build_main_window_like());
        window_ = widget_of_window(0);
    }

    QProgressBar* progress_bar() const {
        const auto bars = window_->findChildren<QProgressBar*>();
        return bars.size() == 1 ? bars[0] : nullptr;
    }

    // The labels of the status bar's fields, left to right.
    QList<QLabel*> field_labels() const {
        QList<QLabel*> labels;
        for (QLabel* label : window_->findChildren<QLabel*>())
            if (label->parentWidget() != window_) labels.push_back(label);
        return labels;
    }

    QWidget* window_ = nullptr;
};

TEST_F(statusbar_test, SitsAlongTheBottomOfTheClientAreaBelowTheGadgets) {
    const QWidget* bar = progress_bar()->parentWidget();
    EXPECT_EQ(bar->geometry().bottom(), 179);
    EXPECT_EQ(bar->width(), 330);
    EXPECT_GE(bar->y(), 132 + 15) << "below the hyperlink, the lowest gadget";
    const auto labels = field_labels();
    ASSERT_EQ(labels.size(), 2);
    EXPECT_EQ(labels[0]->geometry(), QRect(0, 0, 165, bar->height()));
    EXPECT_EQ(labels[1]->geometry(), QRect(165, 0, 165, bar->height()));
    EXPECT_EQ(labels[0]->text(), QStringLiteral("Total Images: 0"));
}

TEST_F(statusbar_test, ProgressSitsInsetInItsFieldAndKeepsItsRange) {
    QProgressBar* bar = progress_bar();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    const int height = bar->parentWidget()->height();
    EXPECT_EQ(bar->geometry(), QRect(165 + 2, 3, 165 - 8, height - 6));
    statusbar_set_progress(10, 1, 5, 0, 10);
    EXPECT_EQ(bar->maximum(), 10);
    statusbar_set_progress(10, 1, 7);
    EXPECT_EQ(bar->maximum(), 10);
    EXPECT_EQ(bar->value(), 7);
}

TEST_F(statusbar_test, TextHidesTheProgressAndProgressShowsItAgainAtTheNewValue) {
    statusbar_set_progress(10, 1, 40);
    QProgressBar* bar = progress_bar();
    EXPECT_EQ(bar->value(), 40);
    statusbar_set_text(10, 1, u"Done.");
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(field_labels()[1]->text(), QStringLiteral("Done."));
    statusbar_set_progress(10, 1, 70);
    EXPECT_EQ(progress_bar(), bar) << "the same control comes back";
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->value(), 70);
    EXPECT_EQ(field_labels()[1]->text(), QString());
}

TEST_F(statusbar_test, FlagsAlignTheTextAndChooseTheBorder) {
    statusbar_set_text(10, 0, u"c", STATUS_CENTER | STATUS_BORDERLESS);
    QLabel* label = field_labels()[0];
    EXPECT_TRUE(label->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(label->frameShape(), QFrame::NoFrame);
    statusbar_set_text(10, 0, u"r", STATUS_RIGHT | STATUS_RAISED);
    EXPECT_TRUE(label->alignment() & Qt::AlignRight);
    EXPECT_EQ(label->frameShadow(), QFrame::Raised);
    statusbar_set_text(10, 0, nullptr);
    EXPECT_TRUE(label->alignment() & Qt::AlignLeft);
    EXPECT_EQ(label->frameShadow(), QFrame::Sunken);
    EXPECT_EQ(label->text(), QString());
}

TEST_F(statusbar_test, MissingBarsAndFieldsAreIgnoredAndNumbersAreTheirOwn) {
    statusbar_set_text(11, 0, u"nobody");
    statusbar_set_text(10, 2, u"no field");
    statusbar_set_progress(10, -1, 50);
    EXPECT_EQ(field_labels().size(), 2);
    // Gadget 10 is another object than status bar 10.
    ASSERT_NE(gadget_button(10, 0, 0, 20, 20, u"g"), 0);
    statusbar_set_text(10, 0, u"still here");
    EXPECT_EQ(field_labels()[0]->text(), QStringLiteral("still here"));
    EXPECT_EQ(statusbar_create(12, 12345), 0) << "no window has that handle";
}

TEST_F(statusbar_test, FieldsStopAtTheMaximumAndGoWithTheWindow) {
    ASSERT_NE(window_open(1, 0, 0, 400, 100, u"many", 0), 0);
    ASSERT_NE(statusbar_create(3, window_handle(1)), 0);
    for (int i = 0; i < STATUSBAR_MAX_FIELDS + 10; ++i)
        statusbar_add_field(SIZE_KEEP);
    QWidget* bar = widget_of_window(1)->findChild<QWidget*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->findChildren<QLabel*>().size(), STATUSBAR_MAX_FIELDS);
    window_close(1);
    statusbar_set_text(3, 0, u"gone");
    statusbar_add_field(10);
    EXPECT_EQ(field_labels().size(), 2);
}

TEST_F(statusbar_test, ResizingAResizableWindowLaysTheFieldsOutAgain) {
    ASSERT_NE(window_open(1, 0, 0, 300, 100, u"sizable", WS_CAPTION | WS_THICKFRAME), 0);
    ASSERT_NE(statusbar_create(3, window_handle(1)), 0);
    statusbar_add_field(100);
    statusbar_add_field(SIZE_KEEP);
    QWidget* window = widget_of_window(1);
    window->resize(400, 120);
    QList<QLabel*> labels;
    for (QLabel* label : window->findChildren<QLabel*>())
        labels.push_back(label);
    ASSERT_EQ(labels.size(), 2);
    const QWidget* bar = labels[0]->parentWidget();
    EXPECT_EQ(bar->geometry().bottom(), 119);
    EXPECT_EQ(bar->width(), 400);
    // The size grip keeps (bar height - 3) pixels at the right.
    EXPECT_EQ(labels[1]->geometry().right() + 1, 400 - (bar->height() - 3));
}

} // namespace
} // namespace korvel
