// The top-level widget of a numbered window: it turns the window system's notifications into
// queued events and never closes itself.
#pragma once

#include "runtime/object_table.h"

#include <QWidget>

namespace korvel {

class window_widget : public QWidget {
public:
    window_widget(obj_number number, Qt::WindowFlags flags);
    obj_number number() const { return number_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    obj_number number_;
};

// The numbered window that widget belongs to, or null when it is none of the program's windows.
window_widget* program_window_of(QWidget* widget);

} // namespace korvel
