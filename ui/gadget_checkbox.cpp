// Check box gadgets: a click toggles the box and is a gadget event.
#include "ui/gadget.h"
#include "ui/gadget_record.h"
#include "ui/qt_text.h"

#include <QCheckBox>

namespace korvel {
namespace {

struct checkbox_details {
    QString text;
    bool three_state;
};

QCheckBox* box(QWidget* control) {
    return static_cast<QCheckBox*>(control);
}

QString checkbox_text(QWidget* control) {
    return box(control)->text();
}

void set_checkbox_text(QWidget* control, const QString& text) {
    box(control)->setText(text);
}

std::int32_t checkbox_state(QWidget* control) {
    switch (box(control)->checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return -1;
    default:
        return 0;
    }
}

void set_checkbox_state(QWidget* control, std::int32_t state) {
    QCheckBox* checkbox = box(control);
    if (state == 0)
        checkbox->setCheckState(Qt::Unchecked);
    else if (state == -1 && checkbox->isTristate())
        checkbox->setCheckState(Qt::PartiallyChecked);
    else
        checkbox->setCheckState(Qt::Checked);
}

const gadget_kind_ops checkbox_kind{GADGET_CHECKBOX, checkbox_text,      set_checkbox_text,
                                    checkbox_state,  set_checkbox_state, nullptr};

QWidget* make_checkbox(QWidget* parent, obj_number number, obj_number window, const void* details) {
    const auto& wanted = *static_cast<const checkbox_details*>(details);
    auto* checkbox = new QCheckBox(wanted.text, parent);
    checkbox->setTristate(wanted.three_state);
    QObject::connect(checkbox, &QCheckBox::clicked,
                     [number, window] { queue_gadget_command(number, window, 0); });
    return checkbox;
}

} // namespace

obj_number gadget_checkbox(obj_number n, std::int32_t x, std::int32_t y, std::int32_t width,
                           std::int32_t height, const char16_t* text, std::uint32_t flags) {
    const checkbox_details details{to_qstring(text),
                                   (flags & CHECKBOX_THREE_STATE) == CHECKBOX_THREE_STATE};
    return gadget_place(n, checkbox_kind, {x, y, width, height}, make_checkbox, &details);
}

} // namespace korvel
