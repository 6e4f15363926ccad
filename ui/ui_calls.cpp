// Calls carried out on the user-interface thread on behalf of any thread.
//
// A call from another thread is queued under the hub's lock and announced to the dispatcher (an
// object living on the user-interface thread) with a posted event; the caller then waits on a
// condition variable. Everything the two threads share goes through the hub's lock, so the
// hand-over is visible to the thread checkers although Qt's own event queue is not.
#include "ui/ui_calls.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace korvel {

enum class call_stage { queued, running, done, released };

struct call_state {
    call_job job;
    call_result result;
    call_stage stage = call_stage::queued;
    QPointer<QObject> resource;         // user-interface thread only
    QEventLoop* waiting_loop = nullptr; // a caller on the user-interface thread waits in it
};

namespace {

class call_dispatcher : public QObject {
public:
    bool event(QEvent* event) override;
};

struct call_hub {
    std::mutex lock;
    std::condition_variable answered;
    bool open = false;
    std::deque<std::shared_ptr<call_state>> queued;
    std::vector<std::shared_ptr<call_state>> unanswered;
    call_dispatcher* dispatcher = nullptr;
};

// Never destroyed: a thread still running while the process exits may still ask for a call,
// and must find the hub (closed) rather than a destroyed lock.
call_hub& hub() {
    static call_hub* const instance = new call_hub;
    return *instance;
}

std::atomic<std::thread::id> ui_thread_id{};

QEvent::Type call_event_type() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void forget_unanswered(const std::shared_ptr<call_state>& state) {
    auto& list = hub().unanswered;
    std::erase(list, state);
}

bool call_dispatcher::event(QEvent* event) {
    {
        // The announcement was made by the calling thread under the hub's lock; taking the lock
        // before looking at it orders the two for the thread checker too.
        std::lock_guard guard(hub().lock);
    }
    if (event->type() != call_event_type()) return QObject::event(event);
    for (;;) {
        std::shared_ptr<call_state> next;
        {
            std::lock_guard guard(hub().lock);
            if (hub().queued.empty()) break;
            next = std::move(hub().queued.front());
            hub().queued.pop_front();
            next->stage = call_stage::running;
            hub().unanswered.push_back(next);
        }
        next->job(call_reply(next));
    }
    return true;
}

bool finished(const call_state& state) {
    return state.stage == call_stage::done || state.stage == call_stage::released;
}

bool call_from_other_thread(call_job job, call_result* result) {
    std::unique_lock guard(hub().lock);
    if (!hub().open || !hub().dispatcher) return false;
    auto state = std::make_shared<call_state>();
    state->job = std::move(job);
    hub().queued.push_back(state);
    QCoreApplication::postEvent(hub().dispatcher, new QEvent(call_event_type()));
    hub().answered.wait(guard, [&] { return finished(*state); });
    if (state->stage != call_stage::done) return false;
    *result = std::move(state->result);
    return true;
}

bool call_from_ui_thread(const call_job& job, call_result* result) {
    auto state = std::make_shared<call_state>();
    state->stage = call_stage::running;
    job(call_reply(state));
    // Nothing else finishes a call made on this thread, so the state needs no lock here.
    if (!finished(*state)) {
        QEventLoop loop;
        state->waiting_loop = &loop;
        loop.exec();
    }
    *result = std::move(state->result);
    return state->stage == call_stage::done;
}

} // namespace

void call_reply::finish(call_result result) const {
    QEventLoop* loop = nullptr;
    {
        std::lock_guard guard(hub().lock);
        if (finished(*state_)) return;
        state_->result = std::move(result);
        state_->stage = call_stage::done;
        loop = state_->waiting_loop;
        forget_unanswered(state_);
    }
    hub().answered.notify_all();
    if (loop) loop->quit();
}

void call_reply::attach(QObject* resource) const {
    state_->resource = resource;
}

void calls_start() {
    if (hub().dispatcher) return;
    ui_thread_id = std::this_thread::get_id();
    auto* dispatcher = new call_dispatcher;
    std::lock_guard guard(hub().lock);
    hub().dispatcher = dispatcher;
}

void calls_open() {
    std::lock_guard guard(hub().lock);
    hub().open = true;
}

void calls_close() {
    std::vector<std::shared_ptr<call_state>> released;
    {
        std::lock_guard guard(hub().lock);
        hub().open = false;
        released.assign(hub().queued.begin(), hub().queued.end());
        released.insert(released.end(), hub().unanswered.begin(), hub().unanswered.end());
        hub().queued.clear();
        hub().unanswered.clear();
        for (auto& state : released)
            state->stage = call_stage::released;
    }
    hub().answered.notify_all();
    for (auto& state : released)
        delete state->resource.data();
}

bool on_ui_thread() {
    return std::this_thread::get_id() == ui_thread_id.load();
}

bool call_on_ui_thread(call_job job, call_result* result) {
    *result = {};
    return on_ui_thread() ? call_from_ui_thread(job, result)
                          : call_from_other_thread(std::move(job), result);
}

std::intptr_t call_for_number(const std::function<std::intptr_t()>& work) {
    call_result result;
    call_on_ui_thread([&work](const call_reply& reply) { reply.finish({work(), {}}); }, &result);
    return result.number;
}

std::u16string call_for_text(const std::function<std::u16string()>& work) {
    call_result result;
    call_on_ui_thread([&work](const call_reply& reply) { reply.finish({0, work()}); }, &result);
    return result.text;
}

void call_for_effect(const std::function<void()>& work) {
    call_result result;
    call_on_ui_thread(
        [&work](const call_reply& reply) {
            work();
            reply.finish({});
        },
        &result);
}

} // namespace korvel
