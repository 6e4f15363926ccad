// Keyboard and pointer input over the program's windows.
#include "ui/input_filter.h"

#include "ui/event.h"
#include "ui/event_queue.h"
#include "ui/focus_cycle.h"
#include "ui/window_widget.h"

#include <QApplication>
#include <QKeyEvent>

namespace korvel {
namespace {

class input_filter : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Tab alone moves forwards, Shift+Tab backwards; with Ctrl or Alt they are ordinary keys.
bool is_focus_key(const QKeyEvent& key, bool* backwards) {
    *backwards = key.key() == Qt::Key_Backtab;
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    if (key.key() == Qt::Key_Tab) return modifiers == Qt::NoModifier;
    return *backwards && (modifiers == Qt::ShiftModifier || modifiers == Qt::NoModifier);
}

bool input_filter::eventFilter(QObject* watched, QEvent* event) {
    // Events of widgets only: the calls that other threads announce to the dispatcher are read by
    // the dispatcher alone, after it has taken their lock.
    if (!watched->isWidgetType()) return false;
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::MouseMove) return false;
    window_widget* window = program_window_of(static_cast<QWidget*>(watched));
    if (!window) return false;
    if (type == QEvent::MouseMove) {
        queue_input_event(EVENT_MOUSE_MOVE, window->number());
        return false;
    }
    bool backwards = false;
    if (is_focus_key(*static_cast<QKeyEvent*>(event), &backwards)) {
        focus_cycle(window, backwards);
        return true;
    }
    queue_input_event(EVENT_KEY_DOWN, window->number());
    return false;
}

} // namespace

void input_filter_install() {
    static input_filter* filter = nullptr;
    if (filter || !qApp) return;
    filter = new input_filter;
    qApp->installEventFilter(filter);
}

} // namespace korvel
