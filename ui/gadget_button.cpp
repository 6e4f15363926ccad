// Button gadgets: a push button whose click is a gadget event.
#include "ui/gadget.h"
#include "ui/gadget_record.h"
#include "ui/qt_text.h"

#include <QPushButton>

namespace korvel {
namespace {

QString button_text(QWidget* control) {
    return static_cast<QPushButton*>(control)->text();
}

void set_button_text(QWidget* control, const QString& text) {
    static_cast<QPushButton*>(control)->setText(text);
}

const gadget_kind_ops button_kind{GADGET_BUTTON, button_text, set_button_text,
                                  nullptr,       nullptr,     nullptr};

QWidget* make_button(QWidget* parent, obj_number number, obj_number window, const void* details) {
    auto* button = new QPushButton(*static_cast<const QString*>(details), parent);
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked,
                     [number, window] { queue_gadget_command(number, window, 0); });
    return button;
}

} // namespace

obj_number gadget_button(obj_number n, std::int32_t x, std::int32_t y, std::int32_t width,
                         std::int32_t height, const char16_t* text) {
    const QString caption = to_qstring(text);
    return gadget_place(n, button_kind, {x, y, width, height}, make_button, &caption);
}

} // namespace korvel
