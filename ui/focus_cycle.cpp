// The keyboard focus cycle: the platform's own tab chain follows widget order rules of its own,
// so the window's controls are walked here in the order the program created them.
#include "ui/focus_cycle.h"

#include <QApplication>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace korvel {
namespace {

std::vector<QWidget*> candidates(QWidget* window) {
    std::vector<QWidget*> list;
    for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isEnabled() && child->isVisibleTo(window) &&
            (child->focusPolicy() & Qt::TabFocus))
            list.push_back(child);
    }
    return list;
}

// The window's direct child that holds the focus (or contains the control that does).
QWidget* focused_child(QWidget* window) {
    QWidget* focused = QApplication::focusWidget();
    while (focused && focused->parentWidget() != window)
        focused = focused->parentWidget();
    return focused;
}

} // namespace

void focus_cycle(QWidget* window, bool backwards) {
    const std::vector<QWidget*> list = candidates(window);
    if (list.empty()) return;
    const auto count = static_cast<std::ptrdiff_t>(list.size());
    const auto found = std::find(list.begin(), list.end(), focused_child(window));
    std::ptrdiff_t next = 0;
    if (found == list.end())
        next = backwards ? count - 1 : 0;
    else
        next = ((found - list.begin()) + (backwards ? count - 1 : 1)) % count;
    list[static_cast<std::size_t>(next)]->setFocus(backwards ? Qt::BacktabFocusReason
                                                             : Qt::TabFocusReason);
}

} // namespace korvel
