// The keyboard focus cycle: Tab and Shift+Tab visit the enabled, visible controls in the order
// they were made and wrap around; Ctrl+Tab is no focus command.
#include "toolkit_fixture.h"

#include <QApplication>
#include <QTest>

namespace korvel {
namespace {

using focus_cycle = toolkit_test;

// The gadget with the focus after each of count presses, from none (0: none has it).
std::vector<obj_number> visits(Qt::Key key, Qt::KeyboardModifiers modifiers, int count) {
    if (QWidget* focused = QApplication::focusWidget()) focused->clearFocus();
    std::vector<obj_number> seen;
    while (count-- > 0) {
        QWidget* focused = QApplication::focusWidget();
        QTest::keyClick(focused ? focused : main_window(), key, modifiers);
        seen.push_back(0);
        for (obj_number n = INPUT; n <= REVERSE; ++n)
            if (control_of(n) && control_of(n) == QApplication::focusWidget()) seen.back() = n;
    }
    return seen;
}

TEST_F(focus_cycle, VisitsTheControlsInCreationOrder) {
    using order = std::vector<obj_number>;
    EXPECT_EQ(visits(Qt::Key_Tab, {}, 9), (order{INPUT, INPUT_BUTTON, OUTPUT, OUTPUT_BUTTON, LAYERS,
                                                 START, ALPHA, REVERSE, INPUT}));
    EXPECT_EQ(visits(Qt::Key_Backtab, Qt::ShiftModifier, 9),
              (order{REVERSE, ALPHA, START, LAYERS, OUTPUT_BUTTON, OUTPUT, INPUT_BUTTON, INPUT,
                     REVERSE}));
    EXPECT_EQ(visits(Qt::Key_Tab, Qt::ControlModifier, 2), (order{0, 0}));
    control_of(INPUT_BUTTON)->setEnabled(false);
    control_of(START)->hide();
    EXPECT_EQ(visits(Qt::Key_Tab, {}, 7),
              (order{INPUT, OUTPUT, OUTPUT_BUTTON, LAYERS, ALPHA, REVERSE, INPUT}));
}

} // namespace
} // namespace korvel
