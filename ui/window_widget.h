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
    // Centres the outer frame in area once the window system has framed the window: before that
    // only the client area's size is known, and centring it leaves the window off by half a frame.
    void centre_frame_in(const QRect& area, bool keep_on_screen);

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void centre_once_framed();

    obj_number number_;
    QRect centre_area_;
    bool centre_pending_ = false;
    bool keep_on_screen_ = false;
};

// Where a window of that outer size sits centred in area; kept at non-negative coordinates when
// keep_on_screen is set.
QPoint centred_in(const QRect& area, const QSize& size, bool keep_on_screen);

// The numbered window that widget belongs to, or null when it is none of the program's windows.
window_widget* program_window_of(QWidget* widget);

} // namespace korvel
