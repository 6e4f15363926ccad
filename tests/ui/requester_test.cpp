// Message boxes from the render worker's thread, answered on the real dialogs: each gives the
// answer chosen, and one without a way out ignores Escape and its close box.
#include "toolkit_fixture.h"

#include "ui/requester.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace korvel {
namespace {

constexpr int ESCAPE = -1, RETURN = -2, CLOSE_BOX = -3;

struct box_case {
    const char* name;
    std::uint32_t flags;
    int how;             // a standard button clicked, or a key pressed, or the close box
    std::int32_t answer; // 0: the box stays open (and is then answered with No)
};

const box_case BOXES[] = {
    {"Yes", MESSAGE_YES_NO, QMessageBox::Yes, ANSWER_YES},
    {"YesNoEscaped", MESSAGE_YES_NO, ESCAPE, 0},
    {"YesNoClosed", MESSAGE_YES_NO, CLOSE_BOX, 0},
    {"OkByReturn", MESSAGE_OK, RETURN, ANSWER_OK},
    {"OkEscaped", MESSAGE_OK, ESCAPE, ANSWER_OK},
    {"OkCancelEscaped", MESSAGE_OK_CANCEL, ESCAPE, ANSWER_CANCEL},
};

using requester = toolkit_test;

TEST_F(requester, MessageBoxesGiveTheAnswerChosen) {
    for (const box_case& row : BOXES) {
        SCOPED_TRACE(row.name);
        std::int32_t answer = -1;
        second_thread worker([&] { answer = request_message(u"Quit?", u"Stop?", row.flags); });
        QMessageBox* box = nullptr;
        ASSERT_TRUE(serve_until(
            [&] { return (box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())); }));
        EXPECT_EQ(box->text(), QStringLiteral("Stop?"));
        if (row.how == ESCAPE || row.how == RETURN)
            QTest::keyClick(box, row.how == ESCAPE ? Qt::Key_Escape : Qt::Key_Return);
        else if (row.how == CLOSE_BOX)
            box->close();
        else
            box->button(QMessageBox::StandardButton(row.how))->click();
        EXPECT_EQ(box->isVisible(), row.answer == 0);
        if (row.answer == 0) box->button(QMessageBox::No)->click();
        ASSERT_TRUE(serve_until([&] { return worker.done.load(); }));
        EXPECT_EQ(answer, row.answer ? row.answer : ANSWER_NO);
    }
}

} // namespace
} // namespace korvel
