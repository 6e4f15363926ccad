// String gadgets: one line of editable text that reports gaining and losing the focus and every
// edit the user makes.
#include "ui/event.h"
#include "ui/event_queue.h"
#include "ui/gadget.h"
#include "ui/gadget_record.h"
#include "ui/qt_text.h"

#include <QLineEdit>

namespace korvel {
namespace {

class string_edit : public QLineEdit {
public:
    string_edit(const QString& text, QWidget* parent, obj_number number, obj_number window)
        : QLineEdit(text, parent), number_(number), window_(window) {}

protected:
    void focusInEvent(QFocusEvent* event) override {
        queue_event(EVENT_GADGET, number_, window_, TYPE_FOCUS, event_merge::with_newest);
        QLineEdit::focusInEvent(event);
    }
    void focusOutEvent(QFocusEvent* event) override {
        queue_event(EVENT_GADGET, number_, window_, TYPE_LOST_FOCUS, event_merge::with_newest);
        QLineEdit::focusOutEvent(event);
    }

private:
    obj_number number_;
    obj_number window_;
};

QString edit_text(QWidget* control) {
    return static_cast<QLineEdit*>(control)->text();
}

void set_edit_text(QWidget* control, const QString& text) {
    static_cast<QLineEdit*>(control)->setText(text);
}

const gadget_kind_ops string_kind{GADGET_STRING, edit_text, set_edit_text,
                                  nullptr,       nullptr,   nullptr};

QWidget* make_edit(QWidget* parent, obj_number number, obj_number window, const void* details) {
    auto* edit = new string_edit(*static_cast<const QString*>(details), parent, number, window);
    // Only the user's edits are reported; texts the program sets are not.
    QObject::connect(edit, &QLineEdit::textEdited,
                     [number, window] { queue_gadget_command(number, window, TYPE_CHANGE); });
    return edit;
}

} // namespace

obj_number gadget_string(obj_number n, std::int32_t x, std::int32_t y, std::int32_t width,
                         std::int32_t height, const char16_t* text) {
    const QString content = to_qstring(text);
    return gadget_place(n, string_kind, {x, y, width, height}, make_edit, &content);
}

} // namespace korvel
