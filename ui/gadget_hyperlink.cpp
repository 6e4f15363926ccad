// Hyperlink gadgets: a text drawn in black, in its hover colour while the pointer is over it,
// with the hand pointer; releasing the left button over it is a click.
#include "ui/event.h"
#include "ui/event_queue.h"
#include "ui/gadget.h"
#include "ui/gadget_record.h"
#include "ui/qt_text.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

namespace korvel {
namespace {

struct hyperlink_details {
    QString text;
    std::uint32_t hover_colour;
    std::uint32_t flags;
};

// Colour values hold red in the lowest byte, then green, then blue.
QColor colour_of(std::uint32_t value) {
    return {static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
            static_cast<int>((value >> 16) & 0xFF)};
}

class hyperlink : public QWidget {
public:
    hyperlink(const hyperlink_details& details, QWidget* parent, obj_number number,
              obj_number window)
        : QWidget(parent), text_(details.text), hover_colour_(colour_of(details.hover_colour)),
          underlined_(details.flags & HYPERLINK_UNDERLINE), number_(number), window_(window) {
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
    }

    const QString& text() const { return text_; }
    void set_text(const QString& text) {
        text_ = text;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QFont link_font = font();
        link_font.setUnderline(underlined_);
        painter.setFont(link_font);
        painter.setPen(text_colour());
        painter.drawText(rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text_);
    }
    void enterEvent(QEnterEvent*) override { set_hovered(true); }
    void leaveEvent(QEvent*) override { set_hovered(false); }
    void changeEvent(QEvent* event) override {
        // A window made unusable (a requester is open) gets no leave event of its own.
        if (event->type() == QEvent::EnabledChange && !isEnabled()) set_hovered(false);
        QWidget::changeEvent(event);
    }
    void mousePressEvent(QMouseEvent* event) override { event->accept(); }
    void mouseDoubleClickEvent(QMouseEvent* event) override { event->accept(); }
    void mouseReleaseEvent(QMouseEvent* event) override {
        event->accept();
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            queue_event(EVENT_GADGET, number_, window_, 0, event_merge::with_newest);
    }

private:
    QColor text_colour() const {
        if (!isEnabled()) return palette().color(QPalette::Disabled, QPalette::WindowText);
        return hovered_ ? hover_colour_ : QColor(Qt::black);
    }
    void set_hovered(bool hovered) {
        if (hovered_ == hovered) return;
        hovered_ = hovered;
        update();
    }

    QString text_;
    QColor hover_colour_;
    bool underlined_;
    bool hovered_ = false;
    obj_number number_;
    obj_number window_;
};

QString link_text(QWidget* control) {
    return static_cast<hyperlink*>(control)->text();
}

void set_link_text(QWidget* control, const QString& text) {
    static_cast<hyperlink*>(control)->set_text(text);
}

const gadget_kind_ops hyperlink_kind{GADGET_HYPERLINK, link_text, set_link_text,
                                     nullptr,          nullptr,   nullptr};

QWidget* make_hyperlink(QWidget* parent, obj_number number, obj_number window,
                        const void* details) {
    return new hyperlink(*static_cast<const hyperlink_details*>(details), parent, number, window);
}

} // namespace

obj_number gadget_hyperlink(obj_number n, std::int32_t x, std::int32_t y, std::int32_t width,
                            std::int32_t height, const char16_t* text, std::uint32_t hover_colour,
                            std::uint32_t flags) {
    const hyperlink_details details{to_qstring(text), hover_colour, flags};
    return gadget_place(n, hyperlink_kind, {x, y, width, height}, make_hyperlink, &details);
}

} // namespace korvel
