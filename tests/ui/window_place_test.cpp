// Where a window opens: a screen-centred window is centred with its frame, as the user sees it,
// not by its client area alone.
#include "toolkit_fixture.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>

namespace korvel {
namespace {

using window_place = toolkit_test;

TEST_F(window_place, TheOuterFrameOfAScreenCentredWindowIsCentred) {
    QWidget* window = main_window();
    ASSERT_NE(window->frameGeometry().size(), window->size()) << "this platform draws no frame";
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QSize outer = window->frameGeometry().size();
    EXPECT_EQ(window->frameGeometry().topLeft(),
              screen.topLeft() + QPoint((screen.width() - outer.width()) / 2,
                                        (screen.height() - outer.height()) / 2));
}

} // namespace
} // namespace korvel
