// The requesters, answered by driving the real dialogs: message boxes from either thread, boxes
// that insist on an answer, both threads' requesters at once, and the folder chooser.
#include "toolkit_fixture.h"

#include "runtime/strings.h"
#include "ui/event.h"
#include "ui/requester.h"
#include "ui/toolkit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace korvel {
namespace {

class requester_test : public toolkit_test {
protected:
    void SetUp() override {
        toolkit_test::SetUp();
        ASSERT_TRUE(build_main_window_like());
        widget_of_window(0)->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(widget_of_window(0)));
        take_events();
    }
};

// The visible message boxes, newest last.
QList<QMessageBox*> open_boxes() {
    QList<QMessageBox*> boxes;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            boxes.push_back(box);
    for (QMessageBox* box : widget_of_window(0)->findChildren<QMessageBox*>())
        if (box->isVisible() && !boxes.contains(box)) boxes.push_back(box);
    return boxes;
}

// Waits for the first visible message box with that title.
QMessageBox* box_titled(const QString& title) {
    QMessageBox* found = nullptr;
    serve_until([&] {
        for (QMessageBox* box : open_boxes())
            if (box->windowTitle() == title) found = box;
        return found != nullptr;
    });
    return found;
}

template <class Dialog>
Dialog* modal_dialog() {
    Dialog* found = nullptr;
    serve_until([&] { return (found = qobject_cast<Dialog*>(QApplication::activeModalWidget())); });
    return found;
}

std::u16string folder_from(const char16_t* title, const char16_t* initial) {
    const std::int32_t at = ws_position();
    std::u16string chosen = request_folder(title, initial, at);
    ws_restore(at);
    return chosen;
}

void choose_folder(QFileDialog* chooser, const QString& path) {
    chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
    QTest::qWait(10);
    QDialogButtonBox* buttons = chooser->findChild<QDialogButtonBox*>();
    buttons->button(QDialogButtonBox::Open)->click();
}

TEST_F(requester_test, YesNoBoxFromTheSecondThreadGivesTheChosenAnswer) {
    for (const auto& [choice, expected] :
         {std::pair(QMessageBox::Yes, ANSWER_YES), std::pair(QMessageBox::No, ANSWER_NO)}) {
        widget_of_window(0)->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(widget_of_window(0)));
        std::int32_t answer = -1;
        second_thread worker(
            [&] { answer = request_message(u"Quit?", u"Stop the render?", MESSAGE_YES_NO); });
        QMessageBox* box = box_titled(QStringLiteral("Quit?"));
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), QStringLiteral("Stop the render?"));
        EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(box->parentWidget(), widget_of_window(0)) << "owned by the active window";
        EXPECT_TRUE(box->isModal());
        box->button(choice)->click();
        ASSERT_TRUE(worker.serve_until_done());
        EXPECT_EQ(answer, expected);
    }
}

TEST_F(requester_test, YesNoBoxIgnoresEscapeAndTheCloseBox) {
    bool visible_after_escape = false;
    bool visible_after_close = false;
    QTimer::singleShot(0, [&] {
        QMessageBox* box = box_titled(QStringLiteral("Sure?"));
        if (!box) return;
        QTest::keyClick(box, Qt::Key_Escape);
        QTest::qWait(5);
        visible_after_escape = box->isVisible();
        box->close();
        QTest::qWait(5);
        visible_after_close = box->isVisible();
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(request_message(u"Sure?", u"Really?", MESSAGE_YES_NO), ANSWER_NO);
    EXPECT_TRUE(visible_after_escape);
    EXPECT_TRUE(visible_after_close);
}

TEST_F(requester_test, OkBoxGivesOneAlsoWhenEscaped) {
    QTimer::singleShot(0, [] {
        if (QMessageBox* box = box_titled(QStringLiteral("WAIT!")))
            QTest::keyClick(box, Qt::Key_Escape);
    });
    EXPECT_EQ(request_message(u"WAIT!", u"Please select an Input and Output folder.", 0),
              ANSWER_OK);
    QTimer::singleShot(0, [] {
        if (QMessageBox* box = box_titled(QStringLiteral("Cancel?")))
            QTest::keyClick(box, Qt::Key_Escape);
    });
    EXPECT_EQ(request_message(u"Cancel?", u"", MESSAGE_OK_CANCEL), ANSWER_CANCEL);
}

TEST_F(requester_test, RequestersOfBothThreadsCanBeOpenAtOnce) {
    std::int32_t worker_answer = -1;
    second_thread worker(
        [&] { worker_answer = request_message(u"Quit?", u"Stop?", MESSAGE_YES_NO); });
    ASSERT_NE(box_titled(QStringLiteral("Quit?")), nullptr);
    int open_together = 0;
    QTimer::singleShot(0, [&] {
        QMessageBox* error = box_titled(QStringLiteral("Error!"));
        open_together = static_cast<int>(open_boxes().size());
        box_titled(QStringLiteral("Quit?"))->button(QMessageBox::Yes)->click();
        worker.serve_until_done();
        if (error) error->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(request_message(u"Error!", u"Unable to create a temporary file.", 0), ANSWER_OK);
    EXPECT_EQ(open_together, 2);
    ASSERT_TRUE(worker.serve_until_done());
    EXPECT_EQ(worker_answer, ANSWER_YES);
}

TEST_F(requester_test, TheInterfaceThreadGoesOnWhileTheWorkersBoxIsOpen) {
    std::int32_t answer = -1;
    second_thread worker([&] { answer = request_message(u"Quit?", u"Stop?", MESSAGE_YES_NO); });
    QPointer<QMessageBox> box = box_titled(QStringLiteral("Quit?"));
    ASSERT_FALSE(box.isNull());
    widget_of_window(0)->close();
    // Focus and activation changes may come first; the close request follows them.
    std::int32_t code = 0;
    for (int i = 0; i < 20 && code != EVENT_CLOSE_WINDOW; ++i)
        code = window_wait_event();
    EXPECT_EQ(code, EVENT_CLOSE_WINDOW);
    EXPECT_TRUE(box->isVisible());
    box->button(QMessageBox::No)->click();
    ASSERT_TRUE(worker.serve_until_done());
    EXPECT_EQ(answer, ANSWER_NO);
}

TEST_F(requester_test, AnOpenRequesterIsReleasedWhenTheToolkitEnds) {
    std::int32_t answer = -1;
    second_thread worker([&] { answer = request_message(u"Quit?", u"Stop?", MESSAGE_YES_NO); });
    QPointer<QMessageBox> box = box_titled(QStringLiteral("Quit?"));
    ASSERT_FALSE(box.isNull());
    gadgets_end();
    windows_end();
    ASSERT_TRUE(worker.serve_until_done());
    EXPECT_EQ(answer, 0);
    EXPECT_TRUE(box.isNull());
}

TEST_F(requester_test, FolderChooserFromTheSecondThreadReturnsTheFolderWithASlash) {
    QTemporaryDir root;
    ASSERT_TRUE(QDir(root.path()).mkdir(QStringLiteral("frames")));
    const std::u16string initial = root.path().toStdU16String();
    std::u16string chosen = u"unset";
    second_thread worker([&] { chosen = folder_from(u"Save images...", initial.c_str()); });
    QFileDialog* chooser = modal_dialog<QFileDialog>();
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->windowTitle(), QStringLiteral("Save images..."));
    EXPECT_EQ(chooser->directory().absolutePath(), QDir(root.path()).absolutePath());
    EXPECT_TRUE(chooser->testOption(QFileDialog::DontUseNativeDialog));
    choose_folder(chooser, root.path() + QStringLiteral("/frames"));
    ASSERT_TRUE(worker.serve_until_done());
    EXPECT_EQ(QString::fromStdU16String(chosen), root.path() + QStringLiteral("/frames/"));
}

TEST_F(requester_test, CancelledFolderChooserGivesTheEmptyText) {
    QTimer::singleShot(0, [] {
        if (QFileDialog* chooser = modal_dialog<QFileDialog>())
            chooser->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    });
    EXPECT_EQ(folder_from(u"Save images...", u"/"), u"");
}

TEST_F(requester_test, AFolderThatIsNotHereOpensAtTheRootWhichKeepsItsOneSlash) {
    QString opened_at;
    QTimer::singleShot(0, [&] {
        QFileDialog* chooser = modal_dialog<QFileDialog>();
        if (!chooser) return;
        opened_at = chooser->directory().absolutePath();
        choose_folder(chooser, QStringLiteral("/"));
    });
    EXPECT_EQ(folder_from(u"Save images...", u"C:\\"), u"/");
    EXPECT_EQ(opened_at, QStringLiteral("/"));
}

} // namespace
} // namespace korvel
