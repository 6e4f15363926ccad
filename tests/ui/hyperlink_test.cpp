// The hyperlink of a window built like the tool's main window: one click is one event of gadget 19
// with sub-type 0, and nothing afterwards looks like another click.
#include "toolkit_fixture.h"

#include "ui/event.h"

#include <QApplication>
#include <QImage>
#include <QTest>
#include <QWidget>

#include <algorithm>

namespace korvel {
namespace {

class hyperlink_test : public toolkit_test {
protected:
    void SetUp() override {
        toolkit_test::SetUp();
        ASSERT_TRUE(build_main_window_like());
        link_ = control_of(19);
        ASSERT_NE(link_, nullptr);
        take_events();
    }

    // How often the program's test for a click on the link would be true.
    static int link_clicks(const std::vector<seen_event>& events) {
        return static_cast<int>(std::count_if(events.begin(), events.end(), [](const auto& e) {
            return e.gadget == 19 && e.type == 0;
        }));
    }

    // Pixels of the link's text drawn in black, or in its blue hover colour.
    static int pixels_like(const QImage& image, bool blue) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor colour = image.pixelColor(x, y);
                const bool dark_red_green = colour.red() < 60 && colour.green() < 60;
                count += dark_red_green && (blue ? colour.blue() > 200 : colour.blue() < 60);
            }
        }
        return count;
    }

    int shown_pixels_like(bool blue) const {
        QApplication::processEvents();
        return pixels_like(link_->grab().toImage(), blue);
    }

    QWidget* link_ = nullptr;
};

TEST_F(hyperlink_test, OneClickIsExactlyOneEventOfGadget19WithSubtypeZero) {
    QTest::mouseClick(link_, Qt::LeftButton, {}, QPoint(10, 7));
    auto events = take_events();
    EXPECT_EQ(link_clicks(events), 1);
    EXPECT_EQ(event_gadget(), 19);

    QWidget* window = widget_of_window(0);
    QTest::mouseMove(window, QPoint(5, 5));
    QTest::mouseMove(window, QPoint(200, 60));
    QTest::keyClick(window, Qt::Key_B);
    events = take_events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(link_clicks(events), 0);
    for (const seen_event& event : events) {
        EXPECT_EQ(event.type, -1) << "code " << event.code;
        EXPECT_EQ(event.gadget, 19) << "code " << event.code;
    }
}

TEST_F(hyperlink_test, ReleasingOutsideTheLinkIsNoClick) {
    QTest::mousePress(link_, Qt::LeftButton, {}, QPoint(10, 7));
    QTest::mouseRelease(link_, Qt::LeftButton, {}, QPoint(10, 40));
    EXPECT_EQ(link_clicks(take_events()), 0);
}

TEST_F(hyperlink_test, ShowsItsHoverColourOnlyWhileThePointerIsOverIt) {
    EXPECT_GT(shown_pixels_like(false), 20);
    EXPECT_EQ(shown_pixels_like(true), 0);

    QTest::mouseMove(link_, QPoint(10, 7));
    EXPECT_GT(shown_pixels_like(true), 20);
    EXPECT_EQ(shown_pixels_like(false), 0);
    EXPECT_EQ(link_->cursor().shape(), Qt::PointingHandCursor);

    QTest::mouseMove(widget_of_window(0), QPoint(5, 5));
    EXPECT_EQ(shown_pixels_like(true), 0);
}

} // namespace
} // namespace korvel
