// The top-level widget of a numbered window.
#include "ui/window_widget.h"

#include "ui/event.h"
#include "ui/event_queue.h"

#include <QCloseEvent>
#include <QWindowStateChangeEvent>

#include <algorithm>

namespace korvel {
namespace {

void queue_window_event(std::int32_t code, obj_number gadget, obj_number window) {
    queue_event(code, gadget, window, 0, event_merge::with_newest);
}

bool minimised_or_maximised(Qt::WindowStates states) {
    return states & (Qt::WindowMinimized | Qt::WindowMaximized);
}

} // namespace

window_widget::window_widget(obj_number number, Qt::WindowFlags flags)
    : QWidget(nullptr, flags), number_(number) {
    // Pointer movements over the window are reported as events even with no button down.
    setMouseTracking(true);
}

void window_widget::closeEvent(QCloseEvent* event) {
    // The user's close request is only an event; the program decides whether the window goes.
    event->ignore();
    queue_window_event(EVENT_CLOSE_WINDOW, number_, number_);
}

void window_widget::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    queue_window_event(EVENT_MOVE_WINDOW, number_, number_);
    centre_once_framed();
}

void window_widget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    queue_window_event(EVENT_SIZE_WINDOW, 0, number_);
    centre_once_framed();
}

void window_widget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    centre_once_framed();
}

// Qt has filled the background with the window colour before it asks the window to paint: this is
// the background erase.
void window_widget::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    queue_window_event(EVENT_REPAINT, 0, number_);
}

void window_widget::centre_frame_in(const QRect& area, bool keep_on_screen) {
    centre_area_ = area;
    keep_on_screen_ = keep_on_screen;
    centre_pending_ = true;
    centre_once_framed();
}

// Without a window manager the frame never differs from the client area, which is then centred
// already.
void window_widget::centre_once_framed() {
    const QSize outer = frameGeometry().size();
    if (!centre_pending_ || !isVisible() || outer == size()) return;
    centre_pending_ = false;
    move(centred_in(centre_area_, outer, keep_on_screen_));
}

QPoint centred_in(const QRect& area, const QSize& size, bool keep_on_screen) {
    const QPoint position = area.topLeft() + QPoint((area.width() - size.width()) / 2,
                                                    (area.height() - size.height()) / 2);
    if (!keep_on_screen) return position;
    return {std::max(position.x(), 0), std::max(position.y(), 0)};
}

void window_widget::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        queue_window_event(EVENT_ACTIVATE_WINDOW, 0, number_);
    } else if (event->type() == QEvent::WindowStateChange) {
        const auto old_states = static_cast<QWindowStateChangeEvent*>(event)->oldState();
        const Qt::WindowStates states = windowState();
        if (states & Qt::WindowMinimized)
            queue_window_event(EVENT_MINIMIZE_WINDOW, 0, number_);
        else if (states & Qt::WindowMaximized)
            queue_window_event(EVENT_MAXIMIZE_WINDOW, 0, number_);
        else if (minimised_or_maximised(old_states))
            queue_window_event(EVENT_RESTORE_WINDOW, 0, number_);
    }
}

window_widget* program_window_of(QWidget* widget) {
    return widget ? dynamic_cast<window_widget*>(widget->window()) : nullptr;
}

} // namespace korvel
