// Image button gadgets: a push button that shows an image, and another one while it is down once
// a pressed image is set; with BUTTON_TOGGLE it stays down after a click and comes up at the next.
#include "ui/gadget.h"
#include "ui/gadget_record.h"
#include "ui/image_copy.h"

#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>

#include <cstdint>

namespace korvel {
namespace {

struct image_button_details {
    image_handle_t image;
    std::uint32_t flags;
};

// The face is drawn by the style; the image is clipped to the face inside its border.
constexpr int face_inset = 4;

class image_button : public QPushButton {
public:
    explicit image_button(QWidget* parent) : QPushButton(parent) {}

    void set_image(std::int32_t attribute, image_handle_t handle) {
        (attribute == ATTRIBUTE_PRESSED_IMAGE ? pressed_ : normal_) = image_copy(handle);
        repaint();
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPushButton::paintEvent(event);
        const QImage& image = shown_image();
        if (image.isNull()) return;
        QPainter painter(this);
        painter.setClipRect(rect().adjusted(face_inset, face_inset, -face_inset, -face_inset));
        // While the mouse holds the button down the image sinks by one pixel.
        const int sink = isDown() ? 1 : 0;
        const QPoint at((width() - image.width()) / 2 + sink,
                        (height() - image.height()) / 2 + sink);
        if (isEnabled()) {
            painter.drawImage(at, image);
            return;
        }
        QStyleOption option;
        option.initFrom(this);
        painter.drawPixmap(
            at, style()->generatedIconPixmap(QIcon::Disabled, QPixmap::fromImage(image), &option));
    }

private:
    const QImage& shown_image() const {
        const bool down = isChecked() || isDown();
        return down && !pressed_.isNull() ? pressed_ : normal_;
    }

    QImage normal_;
    QImage pressed_;
};

QString button_text(QWidget* control) {
    return static_cast<image_button*>(control)->text();
}

void set_button_text(QWidget* control, const QString& text) {
    static_cast<image_button*>(control)->setText(text);
}

std::int32_t button_state(QWidget* control) {
    return static_cast<image_button*>(control)->isChecked() ? 1 : 0;
}

void set_button_state(QWidget* control, std::int32_t state) {
    static_cast<image_button*>(control)->setChecked(state != 0);
}

void set_button_image(QWidget* control, std::int32_t attribute, std::intptr_t value) {
    if (attribute != ATTRIBUTE_IMAGE && attribute != ATTRIBUTE_PRESSED_IMAGE) return;
    // A value that is no 32-bit handle could only name some other image once cut down.
    const bool is_handle = value >= 0 && value <= static_cast<std::intptr_t>(UINT32_MAX);
    static_cast<image_button*>(control)->set_image(
        attribute, is_handle ? static_cast<image_handle_t>(value) : 0);
}

const gadget_kind_ops image_button_kind{GADGET_IMAGE_BUTTON, button_text,      set_button_text,
                                        button_state,        set_button_state, set_button_image};

QWidget* make_image_button(QWidget* parent, obj_number number, obj_number window,
                           const void* details) {
    const auto& wanted = *static_cast<const image_button_details*>(details);
    auto* button = new image_button(parent);
    button->setAutoDefault(false);
    // A toggle's state has changed by the time clicked is emitted, so the event's receiver reads
    // the new state.
    button->setCheckable((wanted.flags & BUTTON_TOGGLE) == BUTTON_TOGGLE);
    button->set_image(ATTRIBUTE_IMAGE, wanted.image);
    QObject::connect(button, &QPushButton::clicked,
                     [number, window] { queue_gadget_command(number, window, 0); });
    return button;
}

} // namespace

obj_number gadget_image_button(obj_number n, std::int32_t x, std::int32_t y, std::int32_t width,
                               std::int32_t height, image_handle_t image, std::uint32_t flags) {
    const image_button_details details{image, flags};
    return gadget_place(n, image_button_kind, {x, y, width, height}, make_image_button, &details);
}

} // namespace korvel
