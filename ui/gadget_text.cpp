// Text gadgets: a static label, and frame gadgets: a caption with a frame around an area. Neither
// takes the focus nor reports anything.
#include "ui/gadget.h"
#include "ui/gadget_record.h"
#include "ui/qt_text.h"

#include <QGroupBox>
#include <QLabel>

namespace korvel {
namespace {

QString label_text(QWidget* control) {
    return static_cast<QLabel*>(control)->text();
}

void set_label_text(QWidget* control, const QString& text) {
    static_cast<QLabel*>(control)->setText(text);
}

QString frame_caption(QWidget* control) {
    return static_cast<QGroupBox*>(control)->title();
}

void set_frame_caption(QWidget* control, const QString& text) {
    static_cast<QGroupBox*>(control)->setTitle(text);
}

const gadget_kind_ops text_kind{GADGET_TEXT, label_text, set_label_text, nullptr, nullptr, nullptr};
const gadget_kind_ops frame_kind{GADGET_FRAME, frame_caption, set_frame_caption,
                                 nullptr,      nullptr,       nullptr};

QWidget* make_label(QWidget* parent, obj_number, obj_number, const void* details) {
    auto* label = new QLabel(parent);
    // The program's texts are shown as they are, never read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setText(*static_cast<const QString*>(details));
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

QWidget* make_frame(QWidget* parent, obj_number, obj_number, const void* details) {
    auto* frame = new QGroupBox(*static_cast<const QString*>(details), parent);
    frame->setFocusPolicy(Qt::NoFocus);
    return frame;
}

} // namespace

obj_number gadget_text(obj_number n, std::int32_t x, std::int32_t y, std::int32_t width,
                       std::int32_t height, const char16_t* text) {
    const QString content = to_qstring(text);
    return gadget_place(n, text_kind, {x, y, width, height}, make_label, &content);
}

obj_number gadget_frame(obj_number n, std::int32_t x, std::int32_t y, std::int32_t width,
                        std::int32_t height, const char16_t* caption) {
    const QString content = to_qstring(caption);
    return gadget_place(n, frame_kind, {x, y, width, height}, make_frame, &content);
}

} // namespace korvel
