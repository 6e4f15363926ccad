// Calls from a second thread, as the render worker makes them: carried out with current values
// and without events, and never left waiting once the toolkit has ended.
#include "toolkit_fixture.h"

#include "ui/gadget.h"
#include "ui/requester.h"
#include "ui/statusbar.h"
#include "ui/toolkit.h"
#include "ui/window.h"

#include <QApplication>
#include <QProgressBar>

namespace korvel {
namespace {

using cross_thread = toolkit_test;

TEST_F(cross_thread, CallsSeeAndChangeTheWindowAsItIsAndMakeNoEvents) {
    gadget_set_text(INPUT, u"/frames/in/");
    gadget_set_state(REVERSE, 1);
    QString input;
    std::int32_t reverse = -1, titled = 0;
    second_thread worker([&] {
        input = text_of(INPUT);
        reverse = gadget_get_state(REVERSE);
        gadget_set_text(OUTPUT, u"/frames/out/");
        gadget_set_state(START, 1);
        titled = window_set_title(0, u"Korvel v0.8 - 40%");
        statusbar_set_progress(BAR, 1, 40);
    });
    ASSERT_TRUE(serve_until([&] { return worker.done.load(); }));
    EXPECT_EQ(input, QStringLiteral("/frames/in/"));
    EXPECT_EQ(reverse + gadget_get_state(START) + titled, 3);
    EXPECT_EQ(text_of(OUTPUT), QStringLiteral("/frames/out/"));
    EXPECT_EQ(main_window()->windowTitle(), QStringLiteral("Korvel v0.8 - 40%"));
    EXPECT_EQ(main_window()->findChild<QProgressBar*>()->value(), 40);
    EXPECT_TRUE(take_events().empty());
}

// Nothing serves calls after the end: an open requester and later calls return all the same.
TEST_F(cross_thread, TheEndReleasesAnOpenRequesterAndLaterCallsReturnAtOnce) {
    gadget_set_state(REVERSE, 1);
    std::int32_t answer = -1, state = -1, titled = -1;
    second_thread asking([&] { answer = request_message(u"Quit?", u"Stop?", MESSAGE_YES_NO); });
    ASSERT_TRUE(serve_until([] { return QApplication::activeModalWidget() != nullptr; }));
    gadgets_end();
    windows_end();
    second_thread late([&] {
        state = gadget_get_state(REVERSE);
        titled = window_set_title(0, u"late");
    });
    ASSERT_TRUE(serve_until([&] { return asking.done && late.done; }, false));
    EXPECT_EQ(answer + state + titled, 0);
}

} // namespace
} // namespace korvel
