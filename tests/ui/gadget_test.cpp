// Gadgets: texts, states and events of each kind, numbers and where gadgets may be made.
#include "toolkit_fixture.h"

#include "runtime/strings.h"
#include "ui/event.h"
#include "ui/gadget.h"
#include "ui/window.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <future>

namespace korvel {
namespace {

class gadget_test : public toolkit_test {
protected:
    void SetUp() override {
        toolkit_test::SetUp();
        ASSERT_NE(window_open(0, 0, 0, 300, 200, u"gadgets", 0xCA0001), 0);
    }
};

TEST_F(gadget_test, EveryKindGivesBackAndReplacesItsText) {
    ASSERT_NE(gadget_text(1, 0, 0, 80, 15, u"label"), 0);
    ASSERT_NE(gadget_string(2, 0, 20, 80, 20, u"edit"), 0);
    ASSERT_NE(gadget_button(3, 0, 40, 80, 20, u"press"), 0);
    ASSERT_NE(gadget_frame(4, 0, 60, 80, 40, u"frame"), 0);
    ASSERT_NE(gadget_checkbox(5, 100, 0, 80, 15, u"tick"), 0);
    ASSERT_NE(gadget_hyperlink(6, 100, 20, 80, 15, u"link", 0xFF0000), 0);
    const char16_t* before[] = {u"label", u"edit", u"press", u"frame", u"tick", u"link"};
    for (obj_number n = 1; n <= 6; ++n) {
        EXPECT_EQ(gadget_text_of(n), QString::fromUtf16(before[n - 1])) << "gadget " << n;
        gadget_set_text(n, u"x\u00e9\U0001F600<b>");
        EXPECT_EQ(gadget_text_of(n), QString::fromUtf16(u"x\u00e9\U0001F600<b>")) << n;
        gadget_set_text(n, nullptr);
        EXPECT_EQ(gadget_text_of(n), QString()) << "gadget " << n;
    }
    EXPECT_EQ(gadget_kind(2), GADGET_STRING);
    EXPECT_EQ(gadget_kind(6), GADGET_HYPERLINK);
    EXPECT_EQ(gadget_kind(7), 0);
}

TEST_F(gadget_test, TextIsWrittenAtTheResultPositionAndEndsOnItsTerminator) {
    ASSERT_NE(gadget_string(2, 0, 0, 80, 20, u"abc"), 0);
    const std::int32_t at = ws_position();
    str_append(u"in:");
    const std::int32_t after_prefix = ws_position();
    gadget_get_text(2, after_prefix);
    EXPECT_EQ(ws_position(), after_prefix + 6);
    EXPECT_EQ(str_equal(ws_text(at), u"in:abc"), 1);
    ws_restore(at);
    gadget_get_text(99, at);
    EXPECT_EQ(ws_position(), at);
    EXPECT_EQ(str_len(ws_text(at)), 0);
}

TEST_F(gadget_test, SettingTextsAndStatesGivesNoEventButUserEditsDo) {
    ASSERT_NE(gadget_string(2, 0, 0, 80, 20, u""), 0);
    ASSERT_NE(gadget_checkbox(3, 0, 30, 80, 15, u"c"), 0);
    take_events();
    gadget_set_text(2, u"typed by the program");
    gadget_set_state(3, 1);
    EXPECT_TRUE(take_gadget_events().empty());

    auto* edit = static_cast<QLineEdit*>(control_of(2));
    edit->setText(QString());
    QTest::keyClicks(edit, QStringLiteral("ab"));
    const auto events = take_gadget_events();
    ASSERT_EQ(events.size(), 2u) << "every edit counts, also two in a row";
    for (const seen_event& event : events) {
        EXPECT_EQ(event.gadget, 2);
        EXPECT_EQ(event.type, TYPE_CHANGE);
    }
    EXPECT_EQ(gadget_text_of(2), QStringLiteral("ab"));
}

TEST_F(gadget_test, ButtonClicksAreEventsOfSubtypeZeroAndEachOneCounts) {
    ASSERT_NE(gadget_button(3, 0, 0, 40, 20, u"go"), 0);
    take_events();
    auto* button = static_cast<QPushButton*>(control_of(3));
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::mouseClick(button, Qt::LeftButton);
    const auto events = take_gadget_events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].gadget, 3);
    EXPECT_EQ(events[1].type, 0);
    EXPECT_EQ(events[1].window, 0);
    EXPECT_EQ(gadget_get_state(3), 0);
}

TEST_F(gadget_test, CheckBoxClickTogglesAndStatesMapAsDocumented) {
    ASSERT_NE(gadget_checkbox(3, 0, 0, 80, 15, u"two"), 0);
    ASSERT_NE(gadget_checkbox(4, 0, 20, 80, 15, u"three", CHECKBOX_THREE_STATE), 0);
    take_events();
    QTest::mouseClick(control_of(3), Qt::LeftButton, {}, QPoint(6, 7));
    const auto events = take_gadget_events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].gadget, 3);
    EXPECT_EQ(events[0].type, 0);
    EXPECT_EQ(gadget_get_state(3), 1);

    gadget_set_state(3, 0);
    EXPECT_EQ(gadget_get_state(3), 0);
    gadget_set_state(3, 5);
    EXPECT_EQ(gadget_get_state(3), 1);
    gadget_set_state(3, -1);
    EXPECT_EQ(gadget_get_state(3), 1) << "a two-state box has no third state";
    gadget_set_state(4, -1);
    EXPECT_EQ(gadget_get_state(4), -1);
    EXPECT_EQ(static_cast<QCheckBox*>(control_of(4))->checkState(), Qt::PartiallyChecked);
}

TEST_F(gadget_test, KindsWithoutStateReportZeroAndIgnoreStatesAndAttributes) {
    ASSERT_NE(gadget_string(2, 0, 0, 80, 20, u"s"), 0);
    gadget_set_state(2, 1);
    gadget_set_attribute(2, ATTRIBUTE_IMAGE, 1);
    EXPECT_EQ(gadget_get_state(2), 0);
    EXPECT_EQ(gadget_text_of(2), QStringLiteral("s"));
    EXPECT_EQ(gadget_get_state(42), 0);
}

TEST_F(gadget_test, StringGadgetsReportGainingAndLosingTheFocus) {
    ASSERT_NE(gadget_string(2, 0, 0, 80, 20, u""), 0);
    ASSERT_NE(gadget_string(3, 0, 30, 80, 20, u""), 0);
    QWidget* window = widget_of_window(0);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    control_of(3)->setFocus();
    take_events();
    control_of(2)->setFocus();
    control_of(3)->setFocus();
    const auto events = take_gadget_events();
    const std::vector<std::pair<obj_number, std::int32_t>> expected{
        {3, TYPE_LOST_FOCUS}, {2, TYPE_FOCUS}, {2, TYPE_LOST_FOCUS}, {3, TYPE_FOCUS}};
    ASSERT_EQ(events.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(events[i].gadget, expected[i].first) << i;
        EXPECT_EQ(events[i].type, expected[i].second) << i;
    }
}

TEST_F(gadget_test, ReusingANumberDestroysTheOldControl) {
    ASSERT_NE(gadget_button(3, 0, 0, 40, 20, u"old"), 0);
    QPointer<QWidget> old = control_of(3);
    ASSERT_NE(gadget_string(3, 0, 0, 40, 20, u"new"), 0);
    EXPECT_TRUE(old.isNull());
    EXPECT_EQ(gadget_kind(3), GADGET_STRING);
    QPointer<QWidget> replaced = control_of(3);
    gadget_free(3);
    EXPECT_TRUE(replaced.isNull());
    EXPECT_EQ(gadget_kind(3), 0);
}

TEST_F(gadget_test, GadgetsGoWithTheirWindowAndNeedOne) {
    ASSERT_NE(gadget_button(3, 0, 0, 40, 20, u"b"), 0);
    QPointer<QWidget> button = control_of(3);
    window_close(0);
    EXPECT_TRUE(button.isNull());
    EXPECT_EQ(gadget_kind(3), 0);
    EXPECT_EQ(gadget_button(4, 0, 0, 40, 20, u"nowhere"), 0);
    EXPECT_EQ(gadget_kind(4), 0);
}

TEST_F(gadget_test, GadgetsAreMadeInTheCurrentGadgetListOnly) {
    ASSERT_NE(window_open(1, 0, 0, 100, 100, u"second", WINDOW_KEEP_GADGET_LIST), 0);
    ASSERT_NE(gadget_button(3, 0, 0, 40, 20, u"b"), 0);
    EXPECT_EQ(control_of(3)->window(), widget_of_window(0));
    auto other = std::async(std::launch::async, [] {
        // Another thread has no gadget list, and controls belong to the interface thread.
        return gadget_button(5, 0, 0, 40, 20, u"x");
    });
    EXPECT_EQ(other.get(), 0);
    EXPECT_EQ(gadget_kind(5), 0);
}

TEST_F(gadget_test, GadgetsUnderAnyNumberAreNamedByTheirIdentifier) {
    const obj_number id = gadget_button(NUMBER_ANY, 0, 0, 40, 20, u"any");
    ASSERT_NE(id, 0);
    EXPECT_EQ(gadget_text_of(id), QStringLiteral("any"));
    take_events();
    QTest::mouseClick(control_of(id), Qt::LeftButton);
    const auto events = take_gadget_events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].gadget, id);
    gadget_free(id);
    EXPECT_EQ(gadget_kind(id), 0);
}

} // namespace
} // namespace korvel
