// The keyboard focus cycle over a window built like the tool's main window.
#include "toolkit_fixture.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

namespace korvel {
namespace {

class focus_cycle_test : public toolkit_test {
protected:
    void SetUp() override {
        toolkit_test::SetUp();
        ASSERT_TRUE(build_main_window_like());
        window_ = widget_of_window(0);
        window_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_));
        if (QWidget* focused = QApplication::focusWidget()) focused->clearFocus();
    }

    // The gadget that has the focus after each of count presses of the key.
    std::vector<obj_number> visits(Qt::Key key, Qt::KeyboardModifiers modifiers, int count) {
        std::vector<obj_number> order;
        for (int i = 0; i < count; ++i) {
            QWidget* target = QApplication::focusWidget();
            QTest::keyClick(target ? target : window_, key, modifiers);
            order.push_back(focused_gadget());
        }
        return order;
    }

    static obj_number focused_gadget() {
        for (obj_number n = 1; n <= 22; ++n)
            if (control_of(n) && control_of(n) == QApplication::focusWidget()) return n;
        return -1;
    }

    QWidget* window_ = nullptr;
};

TEST_F(focus_cycle_test, TabVisitsTheControlsInCreationOrderAndWraps) {
    EXPECT_EQ(visits(Qt::Key_Tab, Qt::NoModifier, 10),
              (std::vector<obj_number>{2, 3, 5, 6, 8, 9, 16, 22, 2, 3}));
}

TEST_F(focus_cycle_test, ShiftTabVisitsThemBackwardsAndWraps) {
    EXPECT_EQ(visits(Qt::Key_Backtab, Qt::ShiftModifier, 10),
              (std::vector<obj_number>{22, 16, 9, 8, 6, 5, 3, 2, 22, 16}));
}

TEST_F(focus_cycle_test, DisabledAndHiddenControlsAreSkipped) {
    control_of(3)->setEnabled(false);
    control_of(9)->hide();
    EXPECT_EQ(visits(Qt::Key_Tab, Qt::NoModifier, 7),
              (std::vector<obj_number>{2, 5, 6, 8, 16, 22, 2}));
}

TEST_F(focus_cycle_test, CtrlTabIsNoFocusCommand) {
    control_of(5)->setFocus();
    QTest::keyClick(control_of(5), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(focused_gadget(), 5);
}

} // namespace
} // namespace korvel
