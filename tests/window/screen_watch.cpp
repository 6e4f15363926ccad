// The screen watch: an event filter on the whole application and the progress bar's signal.
#include "screen_watch.h"

#include "child_process.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace korvel::app_test {

namespace {

// Shared with the driver thread, under the lock.
struct dialog_queue {
    std::mutex lock;
    std::condition_variable shown;
    std::deque<shown_dialog> untaken;
};

dialog_queue& queue() {
    static auto* const instance = new dialog_queue;
    return *instance;
}

std::string utf8(const QString& text) {
    return text.toStdString();
}

std::string buttons_of(const QMessageBox& box) {
    std::string names;
    for (const QAbstractButton* button : box.buttons()) {
        if (!names.empty()) names += '|';
        names += utf8(button->text().remove(u'&'));
    }
    return names;
}

class screen_watcher : public QObject {
public:
    explicit screen_watcher(QWidget* main_window) : main_window_(main_window) {}

    QWidget* dialog(std::size_t index) const {
        if (index >= dialogs_.size() || dialogs_[index].isNull()) return nullptr;
        QWidget* shown = dialogs_[index].data();
        return shown->isVisible() ? shown : nullptr;
    }

    bool gone(std::size_t index) const {
        return index < dialogs_.size() && dialogs_[index].isNull();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Widgets' events only: events that other threads post to plain objects are read by
        // their receivers alone, once those have taken the lock they were posted under.
        if (!watched->isWidgetType()) return false;
        if (event->type() == QEvent::Show) note_shown(watched);
        if (event->type() == QEvent::WindowTitleChange && watched == main_window_)
            child_report({"title", utf8(main_window_->windowTitle())});
        return QObject::eventFilter(watched, event);
    }

private:
    void note_shown(QObject* watched) {
        auto* box = qobject_cast<QMessageBox*>(watched);
        auto* chooser = qobject_cast<QFileDialog*>(watched);
        if (!box && !chooser) return;
        for (const auto& known : dialogs_)
            if (known.data() == watched) return;
        shown_dialog seen;
        seen.index = dialogs_.size();
        seen.is_message = box != nullptr;
        seen.title = utf8(static_cast<QWidget*>(watched)->windowTitle());
        if (box) {
            seen.text = utf8(box->text());
            child_report({"message", seen.title, seen.text, buttons_of(*box)});
        } else {
            child_report({"chooser", seen.title, utf8(chooser->directory().absolutePath())});
        }
        dialogs_.emplace_back(static_cast<QWidget*>(watched));
        {
            std::lock_guard guard(queue().lock);
            queue().untaken.push_back(seen);
        }
        queue().shown.notify_all();
    }

    QWidget* main_window_;
    std::vector<QPointer<QWidget>> dialogs_;
};

screen_watcher* watcher = nullptr; // user-interface thread only

} // namespace

void screen_watch_start(QWidget* main_window) {
    if (watcher) return;
    watcher = new screen_watcher(main_window);
    qApp->installEventFilter(watcher);
    for (QProgressBar* bar : main_window->findChildren<QProgressBar*>())
        QObject::connect(bar, &QProgressBar::valueChanged, watcher, [](int value) {
            child_report({"progress", std::to_string(value)});
        });
}

std::optional<shown_dialog> screen_watch_next_dialog(std::chrono::milliseconds limit) {
    std::unique_lock guard(queue().lock);
    if (!queue().shown.wait_for(guard, limit, [] { return !queue().untaken.empty(); }))
        return std::nullopt;
    shown_dialog next = queue().untaken.front();
    queue().untaken.pop_front();
    return next;
}

QWidget* screen_watch_dialog(std::size_t index) {
    return watcher ? watcher->dialog(index) : nullptr;
}

bool screen_watch_dialog_gone(std::size_t index) {
    return watcher && watcher->gone(index);
}

} // namespace korvel::app_test
