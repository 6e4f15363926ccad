// The hand-over of work to the user-interface thread: a receiver object made on that thread gets
// a posted event for each piece of work, and takes the hand-over's lock before it looks at
// anything the driver prepared.
#include "ui_hand_off.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

namespace korvel::app_test {

namespace {

class work_receiver : public QObject {
public:
    bool event(QEvent* event) override;
};

struct hand_off_state {
    std::mutex lock;
    std::condition_variable changed;
    work_receiver* receiver = nullptr; // lives on the user-interface thread
    QEvent::Type event_type = QEvent::None;
    std::deque<std::function<void()>> waiting;
    std::uint64_t posted = 0;
    std::uint64_t finished = 0;
};

// Never destroyed: the program ends the process while the driver may still wait here.
hand_off_state& state() {
    static auto* const instance = new hand_off_state;
    return *instance;
}

// Called by the application object's constructor, on the user-interface thread.
void note_application() {
    auto* receiver = new work_receiver;
    const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    {
        std::lock_guard guard(state().lock);
        state().receiver = receiver;
        state().event_type = type;
    }
    state().changed.notify_all();
}

void run_waiting() {
    for (;;) {
        std::function<void()> next;
        {
            std::lock_guard guard(state().lock);
            if (state().waiting.empty()) return;
            next = std::move(state().waiting.front());
            state().waiting.pop_front();
        }
        next();
        {
            std::lock_guard guard(state().lock);
            ++state().finished;
        }
        state().changed.notify_all();
    }
}

bool work_receiver::event(QEvent* event) {
    QEvent::Type type = QEvent::None;
    {
        // The driver posted under this lock: taking it first orders everything it prepared
        // before what happens here, for the thread checker too (Qt's event queue is invisible
        // to it).
        std::lock_guard guard(state().lock);
        type = state().event_type;
    }
    if (event->type() != type) return QObject::event(event);
    run_waiting();
    return true;
}

} // namespace

void hand_off_watch_for_application() {
    qAddPreRoutine(note_application);
}

bool hand_off_wait_for_application(std::chrono::milliseconds limit) {
    std::unique_lock guard(state().lock);
    return state().changed.wait_for(guard, limit, [] { return state().receiver != nullptr; });
}

bool run_on_ui(std::function<void()> work, std::chrono::milliseconds limit) {
    std::unique_lock guard(state().lock);
    if (!state().receiver) return false;
    state().waiting.push_back(std::move(work));
    const std::uint64_t ticket = ++state().posted;
    QCoreApplication::postEvent(state().receiver, new QEvent(state().event_type));
    return state().changed.wait_for(guard, limit, [ticket] { return state().finished >= ticket; });
}

} // namespace korvel::app_test
