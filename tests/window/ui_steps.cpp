// Steps on the user-interface thread.
#include "ui_steps.h"

#include "child_process.h"
#include "ui_hand_off.h"

#include "ui/gadget_record.h"
#include "ui/window_record.h"
#include "ui/window_widget.h"

#include <QString>

#include <thread>
#include <unistd.h>

namespace korvel::app_test {

void give_up(const std::string& what) {
    child_report({"fail", what});
    _exit(3);
}

void on_ui(std::function<void()> work, const std::string& what) {
    if (!run_on_ui(std::move(work), ui_limit))
        give_up("the user-interface thread did not answer while " + what);
}

bool ui_condition_within(const std::function<bool()>& condition, std::chrono::milliseconds limit,
                         const std::string& what) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        bool holds = false;
        on_ui([&] { holds = condition(); }, what);
        if (holds) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

QWidget* main_window() {
    const window_record* record = window_lookup(0);
    return record ? record->widget : nullptr;
}

QWidget* control_of(obj_number gadget) {
    const gadget_record* record = gadget_lookup(gadget);
    return record ? record->control : nullptr;
}

std::string utf8(const QString& text) {
    return text.toStdString();
}

} // namespace korvel::app_test
