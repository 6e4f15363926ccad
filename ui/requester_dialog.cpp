// Running a requester's dialog as a call: the dialog is shown without a nested event loop of its
// own, so a requester asked for by another thread leaves the user-interface thread free to go on
// with its events, and requesters of both threads can be open at once.
#include "ui/requester_dialog.h"

#include "ui/window_widget.h"

#include <QApplication>
#include <QDialog>

namespace korvel {

QWidget* requester_owner() {
    return program_window_of(QApplication::activeWindow());
}

void requester_run(QDialog* dialog, const call_reply& reply,
                   std::function<call_result(int result_code)> answer) {
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // Every window of the program, whichever thread asked: all windows live on the user-interface
    // thread, so blocking only the caller's windows would leave the main window open to a second
    // start or a close while the render worker waits for the answer; and whether another program
    // has the foreground is not something every window system tells.
    dialog->setWindowModality(Qt::ApplicationModal);
    QObject::connect(dialog, &QDialog::finished,
                     [reply, answer = std::move(answer)](int code) { reply.finish(answer(code)); });
    QObject::connect(dialog, &QObject::destroyed, [reply] { reply.finish({}); });
    reply.attach(dialog);
    dialog->show();
}

} // namespace korvel
