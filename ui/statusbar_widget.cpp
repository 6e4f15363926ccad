// The status bar control.
#include "ui/statusbar_widget.h"

#include "ui/statusbar.h"
#include "ui/statusbar_layout.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QSizeGrip>

#include <new>

namespace korvel {
namespace {

// Tall enough for one line of the gadget font between the fields' borders.
constexpr int bar_height = 22;

Qt::Alignment alignment_of(std::uint32_t flags) {
    const Qt::Alignment horizontal = (flags & STATUS_CENTER)  ? Qt::AlignHCenter
                                     : (flags & STATUS_RIGHT) ? Qt::AlignRight
                                                              : Qt::AlignLeft;
    return horizontal | Qt::AlignVCenter;
}

int frame_of(std::uint32_t flags) {
    if (flags & STATUS_RAISED) return QFrame::Panel | QFrame::Raised;
    if (flags & STATUS_BORDERLESS) return QFrame::NoFrame;
    return QFrame::Panel | QFrame::Sunken;
}

} // namespace

statusbar_widget::statusbar_widget(QWidget* window, bool resizable)
    : QWidget(window), resizable_(resizable) {
    setFocusPolicy(Qt::NoFocus);
    if (resizable_) grip_ = new QSizeGrip(this);
    window->installEventFilter(this);
    lay_out();
}

bool statusbar_widget::add_field(std::int32_t width) {
    if (static_cast<std::int32_t>(fields_.size()) >= STATUSBAR_MAX_FIELDS) return false;
    auto* label = new QLabel(this);
    label->setTextFormat(Qt::PlainText);
    label->setIndent(2);
    fields_.push_back({FIELD_TEXT, width, 0, 0, 0, 100, {}, label, nullptr});
    show_flags(fields_.back());
    label->show();
    lay_out();
    return true;
}

bool statusbar_widget::has_field(std::int32_t field) const {
    return field >= 0 && field < static_cast<std::int32_t>(fields_.size());
}

void statusbar_widget::set_text(std::int32_t field, const QString& text, std::uint32_t flags) {
    if (!has_field(field)) return;
    auto& each = fields_[static_cast<std::size_t>(field)];
    if (each.progress) each.progress->hide();
    each.kind = FIELD_TEXT;
    each.flags = flags;
    show_flags(each);
    each.label->setText(text);
    update(each.area);
}

void statusbar_widget::set_progress(std::int32_t field, std::int32_t value, std::int32_t minimum,
                                    std::int32_t maximum, std::uint32_t flags) {
    if (!has_field(field)) return;
    auto& each = fields_[static_cast<std::size_t>(field)];
    // Without its control (it could not be made) the field draws the bar itself.
    if (!each.progress) {
        each.progress = new (std::nothrow) QProgressBar(this);
        if (each.progress) each.progress->setTextVisible(false);
    }
    each.kind = FIELD_PROGRESS;
    each.flags = flags;
    each.value = value;
    if (minimum != SIZE_KEEP) each.minimum = minimum;
    if (maximum != SIZE_KEEP) each.maximum = maximum;
    each.label->clear();
    show_flags(each);
    if (!each.progress) {
        update(each.area);
        return;
    }
    each.progress->setRange(each.minimum, each.maximum);
    each.progress->setValue(value);
    if (each.progress->isVisible()) return;
    place_progress(each);
    each.progress->show();
}

void statusbar_widget::show_flags(const field& each) const {
    each.label->setFrameStyle(frame_of(each.flags));
    each.label->setAlignment(alignment_of(each.flags));
}

void statusbar_widget::place_progress(const field& each) const {
    if (each.progress) each.progress->setGeometry(each.area.adjusted(2, 3, -6, -3));
}

void statusbar_widget::lay_out() {
    const QWidget* window = parentWidget();
    setGeometry(0, window->height() - bar_height, window->width(), bar_height);
    const bool grip_shown = resizable_ && !window->isMaximized();
    if (grip_) {
        grip_->setVisible(grip_shown);
        grip_->setGeometry(width() - bar_height, 0, bar_height, bar_height);
    }
    const int usable = width() - (grip_shown ? bar_height - 3 : 0);
    std::vector<std::int32_t> widths;
    for (const auto& each : fields_)
        widths.push_back(each.width);
    std::vector<std::int32_t> edges(fields_.size());
    statusbar_field_edges(widths.data(), static_cast<std::int32_t>(widths.size()), usable,
                          edges.data());
    int left = 0;
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        auto& each = fields_[i];
        each.area = QRect(left, 0, std::max(edges[i] - left, 0), bar_height);
        left = edges[i];
        each.label->setGeometry(each.area);
        place_progress(each);
    }
    update();
}

bool statusbar_widget::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() &&
        (event->type() == QEvent::Resize || event->type() == QEvent::WindowStateChange))
        lay_out();
    return QWidget::eventFilter(watched, event);
}

void statusbar_widget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (const auto& each : fields_) {
        if (each.kind != FIELD_PROGRESS || each.progress) continue;
        const QRect inner = each.area.adjusted(1, 1, -1, -1);
        const int filled =
            progress_fill_width(each.area.width(), each.value, each.minimum, each.maximum);
        painter.fillRect(inner.x(), inner.y(), filled, inner.height(),
                         palette().color(QPalette::Highlight));
    }
}

} // namespace korvel
