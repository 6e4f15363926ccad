// Windows: the client area, placement, style, the close request and the window events.
#include "toolkit_fixture.h"

#include "ui/desktop.h"
#include "ui/event.h"
#include "ui/window.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include <future>

namespace korvel {
namespace {

using window_test = toolkit_test;

constexpr std::uint32_t main_window_flags = 0xCA0001;

TEST_F(window_test, ClientAreaIsExactlyTheInnerSizeCentredAndNotResizable) {
    ASSERT_NE(window_open(0, 0, 0, 330, 180, u"Korvel v0.8", main_window_flags), 0);
    QWidget* window = widget_of_window(0);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->size(), QSize(330, 180));
    EXPECT_EQ(window->minimumSize(), QSize(330, 180));
    EXPECT_EQ(window->maximumSize(), QSize(330, 180));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(window->pos(),
              screen.topLeft() + QPoint((screen.width() - 330) / 2, (screen.height() - 180) / 2));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Korvel v0.8"));
    EXPECT_TRUE(window->isVisible());
}

TEST_F(window_test, StyleBitsChooseTheTitleBarButtons) {
    ASSERT_NE(window_open(0, 0, 0, 100, 50, u"", main_window_flags), 0);
    const Qt::WindowFlags flags = widget_of_window(0)->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowTitleHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);

    // Only toolkit bits: a title bar is added, and nothing else.
    ASSERT_NE(window_open(1, 5, 6, 100, 50, u"", WINDOW_KEEP_GADGET_LIST), 0);
    const Qt::WindowFlags plain = widget_of_window(1)->windowFlags();
    EXPECT_TRUE(plain & Qt::WindowTitleHint);
    EXPECT_FALSE(plain & Qt::WindowCloseButtonHint);
    EXPECT_EQ(widget_of_window(1)->pos(), QPoint(5, 6));

    ASSERT_NE(window_open(2, 0, 0, 100, 50, u"", WS_THICKFRAME | WS_SYSMENU), 0);
    EXPECT_TRUE(widget_of_window(2)->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_NE(widget_of_window(2)->minimumSize(), widget_of_window(2)->maximumSize());
}

TEST_F(window_test, CloseRequestReturnsCloseEventAndLeavesTheWindow) {
    ASSERT_NE(window_open(3, 0, 0, 120, 80, u"w", main_window_flags), 0);
    take_events();
    QWidget* window = widget_of_window(3);
    EXPECT_FALSE(window->close());
    const auto events = take_events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, EVENT_CLOSE_WINDOW);
    EXPECT_EQ(events[0].gadget, 3);
    EXPECT_EQ(events[0].window, 3);
    EXPECT_EQ(events[0].type, 0);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(widget_of_window(3), window);
}

TEST_F(window_test, OpeningUnderAUsedNumberClosesTheOldWindow) {
    const obj_number first = window_open(0, 0, 0, 100, 50, u"first", 0);
    QPointer<QWidget> old = widget_of_window(0);
    const obj_number second = window_open(0, 0, 0, 100, 50, u"second", 0);
    EXPECT_NE(first, 0);
    EXPECT_NE(second, 0);
    EXPECT_NE(first, second);
    EXPECT_TRUE(old.isNull());
    EXPECT_EQ(window_handle(0), second);
    window_close(0);
    EXPECT_EQ(window_handle(0), 0);
    EXPECT_EQ(widget_of_window(0), nullptr);
}

TEST_F(window_test, WindowsUnderAnyNumberAreNamedByTheirIdentifier) {
    const obj_number id = window_open(NUMBER_ANY, 0, 0, 100, 50, u"any", main_window_flags);
    ASSERT_NE(id, 0);
    ASSERT_NE(widget_of_window(id), nullptr);
    take_events();
    widget_of_window(id)->close();
    const auto events = take_events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].window, id);
}

TEST_F(window_test, MovesMinimiseAndRestoreAreReported) {
    ASSERT_NE(window_open(0, 0, 0, 100, 50, u"", main_window_flags), 0);
    take_events();
    QWidget* window = widget_of_window(0);
    window->move(40, 30);
    auto events = take_events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, EVENT_MOVE_WINDOW);
    EXPECT_EQ(events[0].gadget, 0);

    window->setWindowState(Qt::WindowMinimized);
    events = take_events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].code, EVENT_MINIMIZE_WINDOW);
    window->setWindowState(Qt::WindowNoState);
    events = take_events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].code, EVENT_RESTORE_WINDOW);
}

TEST_F(window_test, TitleChangesAndMissingTextOrWindowGiveZero) {
    ASSERT_NE(window_open(0, 0, 0, 100, 50, u"before", 0), 0);
    EXPECT_EQ(window_set_title(0, u"after"), 1);
    EXPECT_EQ(widget_of_window(0)->windowTitle(), QStringLiteral("after"));
    EXPECT_EQ(window_set_title(0, nullptr), 0);
    EXPECT_EQ(widget_of_window(0)->windowTitle(), QStringLiteral("after"));
    EXPECT_EQ(window_set_title(7, u"nobody"), 0);
}

TEST_F(window_test, WindowsShowTheApplicationIconMadeOfTheImagesGiven) {
    const image_handle_t images[] = {solid_bitmap(16, 16, 0xFFFF0000), 0,
                                     solid_bitmap(32, 32, 0xFF00FF00)};
    EXPECT_EQ(desktop_set_icon(images, 3), 2);
    bitmap_delete(images[0]);
    bitmap_delete(images[2]);
    ASSERT_NE(window_open(0, 0, 0, 100, 50, u"", main_window_flags), 0);
    const QIcon icon = widget_of_window(0)->windowIcon();
    EXPECT_TRUE(icon.availableSizes().contains(QSize(16, 16)));
    EXPECT_TRUE(icon.availableSizes().contains(QSize(32, 32)));
    EXPECT_EQ(icon.pixmap(QSize(32, 32)).toImage().pixelColor(5, 5), QColor(0, 255, 0));
}

TEST_F(window_test, OnlyTheInterfaceThreadOpensWindowsAndWaitsForEvents) {
    auto other = std::async(std::launch::async, [] {
        return std::pair(window_open(0, 0, 0, 100, 50, u"", 0), window_wait_event());
    });
    ASSERT_EQ(other.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(other.get(), std::pair(obj_number{0}, std::int32_t{0}));
    EXPECT_EQ(window_handle(0), 0);
}

} // namespace
} // namespace korvel
