// Calls from any thread that are carried out on the user-interface thread, which owns every
// widget. The caller waits until the result is there; the user-interface thread serves the calls
// whenever it processes events (while it waits in window_wait_event and while a requester is
// open). Once the toolkit has ended, a call from another thread returns at once with no result,
// and every call still waiting is released the same way, so that a waiting thread never hangs.
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace korvel {

struct call_result {
    std::intptr_t number = 0;
    std::u16string text;
};

struct call_state;

// The answering side of one call, given to the job on the user-interface thread.
class call_reply {
public:
    explicit call_reply(std::shared_ptr<call_state> state) : state_(std::move(state)) {}
    // Hands the result to the caller; only the first result counts.
    void finish(call_result result) const;
    // The object (a dialog) that finishes the call later; it is deleted when the call is released
    // before it finished.
    void attach(QObject* resource) const;

private:
    std::shared_ptr<call_state> state_;
};

using call_job = std::function<void(const call_reply&)>;

// Makes the calling thread the user-interface thread (once, with the application object).
void calls_start();
// Accepts calls from other threads (toolkit start-up).
void calls_open();
// Refuses calls from other threads and releases every call still waiting (toolkit end).
void calls_close();

bool on_ui_thread();

// Runs the job on the user-interface thread (directly when called there) and waits until it has
// finished the call. False, with an empty result, when the call was refused or released.
bool call_on_ui_thread(call_job job, call_result* result);

// Shorthands for work that is done as soon as it runs.
std::intptr_t call_for_number(const std::function<std::intptr_t()>& work);
std::u16string call_for_text(const std::function<std::u16string()>& work);
void call_for_effect(const std::function<void()>& work);

} // namespace korvel
