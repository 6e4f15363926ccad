// The message box requester.
#include "ui/qt_text.h"
#include "ui/requester.h"
#include "ui/requester_dialog.h"
#include "ui/ui_calls.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>

#include <array>

namespace korvel {
namespace {

struct button_set {
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton escape; // NoButton: the user must choose
};

// By the low four bits of the flags; unknown sets show the lone OK button.
const std::array<button_set, 6> button_sets{{
    {QMessageBox::Ok, QMessageBox::Ok},
    {QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel},
    {QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore, QMessageBox::NoButton},
    {QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Cancel},
    {QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton},
    {QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::Cancel},
}};

const button_set& buttons_for(std::uint32_t flags) {
    const std::uint32_t index = flags & 0xF;
    return button_sets[index < button_sets.size() ? index : 0];
}

QMessageBox::Icon icon_for(std::uint32_t flags) {
    switch (flags & 0xF0) {
    case MESSAGE_ICON_ERROR:
        return QMessageBox::Critical;
    case MESSAGE_ICON_QUESTION:
        return QMessageBox::Question;
    case MESSAGE_ICON_WARNING:
        return QMessageBox::Warning;
    case MESSAGE_ICON_INFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

std::int32_t answer_of(QMessageBox::StandardButton button) {
    switch (button) {
    case QMessageBox::Ok:
        return ANSWER_OK;
    case QMessageBox::Cancel:
        return ANSWER_CANCEL;
    case QMessageBox::Abort:
        return ANSWER_ABORT;
    case QMessageBox::Retry:
        return ANSWER_RETRY;
    case QMessageBox::Ignore:
        return ANSWER_IGNORE;
    case QMessageBox::Yes:
        return ANSWER_YES;
    case QMessageBox::No:
        return ANSWER_NO;
    default:
        return 0;
    }
}

// A box whose buttons offer no way out (Yes/No) can only be answered with one of them: Qt would
// otherwise let Escape or the close box pick No.
class message_box : public QMessageBox {
public:
    message_box(QWidget* owner, bool must_choose) : QMessageBox(owner), must_choose_(must_choose) {
        if (must_choose_) setWindowFlag(Qt::WindowCloseButtonHint, false);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (must_choose_ && event->key() == Qt::Key_Escape) return event->accept();
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override {
        if (must_choose_) return event->ignore();
        QMessageBox::closeEvent(event);
    }

private:
    bool must_choose_;
};

void open_message_box(const QString& title, const QString& text, std::uint32_t flags,
                      const call_reply& reply) {
    const button_set& set = buttons_for(flags);
    auto* box = new message_box(requester_owner(), set.escape == QMessageBox::NoButton);
    box->setWindowTitle(title);
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    box->setIcon(icon_for(flags));
    box->setStandardButtons(set.buttons);
    if (set.escape != QMessageBox::NoButton) box->setEscapeButton(set.escape);
    requester_run(box, reply, [box](int) -> call_result {
        return {answer_of(box->standardButton(box->clickedButton())), {}};
    });
}

} // namespace

std::int32_t request_message(const char16_t* title, const char16_t* text, std::uint32_t flags) {
    const std::u16string title_copy = text_copy(title);
    const std::u16string text_shown = text_copy(text);
    call_result result;
    call_on_ui_thread(
        [&](const call_reply& reply) {
            open_message_box(to_qstring(title_copy), to_qstring(text_shown), flags, reply);
        },
        &result);
    return static_cast<std::int32_t>(result.number);
}

} // namespace korvel
