// Answers to the program's dialogs.
#include "dialog_answers.h"

#include "child_process.h"
#include "ui_steps.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace korvel::app_test {

namespace {

// After a dialog was answered: the code that opened it has gone on, to its end or to the next
// dialog. The user-interface thread's own requesters run a nested event loop, and the driver's
// next look at the window must not come from inside it.
void wait_past(const shown_dialog& dialog) {
    const bool past = ui_condition_within(
        [&] {
            return screen_watch_dialog_gone(dialog.index) ||
                   QApplication::activeModalWidget() != nullptr;
        },
        ui_limit, "waiting for the program to go on after \"" + dialog.title + "\"");
    if (!past) child_report({"fail", "the program did not go on after \"" + dialog.title + "\""});
}

QMessageBox::StandardButton standard_button(reply button) {
    switch (button) {
    case reply::yes:
        return QMessageBox::Yes;
    case reply::no:
        return QMessageBox::No;
    default:
        return QMessageBox::Ok;
    }
}

QDialogButtonBox* chooser_buttons(QFileDialog* chooser) {
    return chooser ? chooser->findChild<QDialogButtonBox*>() : nullptr;
}

} // namespace

const char* button_name(reply button) {
    switch (button) {
    case reply::yes:
        return "Yes";
    case reply::no:
        return "No";
    default:
        return "OK";
    }
}

bool press(const shown_dialog& dialog, reply button) {
    bool pressed = false;
    on_ui(
        [&] {
            auto* box = qobject_cast<QMessageBox*>(screen_watch_dialog(dialog.index));
            QAbstractButton* target = box ? box->button(standard_button(button)) : nullptr;
            if (!target) return;
            QTest::mouseClick(target, Qt::LeftButton);
            pressed = !box->isVisible();
        },
        "answering a message box");
    if (!pressed) return false;
    child_report({"answer", dialog.title, button_name(button)});
    wait_past(dialog);
    return true;
}

bool answer_chooser(const shown_dialog& dialog, const std::string& folder) {
    bool answered = false;
    on_ui(
        [&] {
            auto* chooser = qobject_cast<QFileDialog*>(screen_watch_dialog(dialog.index));
            QDialogButtonBox* buttons = chooser_buttons(chooser);
            if (!buttons) return;
            QPushButton* target = buttons->button(QDialogButtonBox::Cancel);
            if (!folder.empty()) {
                auto* name = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                if (name) name->setText(QString::fromStdString(folder));
                QCoreApplication::processEvents();
                target = name ? buttons->button(QDialogButtonBox::Open) : nullptr;
            }
            if (target) QTest::mouseClick(target, Qt::LeftButton);
            answered = !chooser->isVisible();
            if (!answered) chooser->reject();
        },
        "answering a folder chooser");
    if (answered) wait_past(dialog);
    return answered;
}

void answer_with_default(const shown_dialog& dialog) {
    if (!dialog.is_message) {
        answer_chooser(dialog, "");
        return;
    }
    if (!press(dialog, reply::ok)) press(dialog, reply::no);
}

} // namespace korvel::app_test
