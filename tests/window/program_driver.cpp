// The driver of a program run.
#include "program_driver.h"

#include "button_face.h"
#include "child_process.h"
#include "dialog_answers.h"
#include "screen_watch.h"
#include "ui_hand_off.h"
#include "ui_steps.h"

#include "window/program_state.h"
#include "window/startup.h"
#include "ui/event_queue.h"
#include "ui/gadget_record.h"
#include "ui/statusbar_widget.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace korvel::app_test {

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// Generous, for a long render under the thread sanitizer; a passing run never waits this long.
constexpr milliseconds dialog_limit = seconds(120);
constexpr milliseconds idle_limit = seconds(90);
constexpr milliseconds poll_interval(2);

const char* const idle_title = "Korvel v0.8";

// Read by the driver before the script starts, then only on the user-interface thread.
button_faces faces;

// The program has taken every event that an action queued, or waits for the user in a dialog.
void settle(program_driver& driver, const std::string& action) {
    const bool settled = ui_condition_within(
        [] { return event_queue_length() == 0 || QApplication::activeModalWidget(); }, ui_limit,
        action);
    if (!settled) driver.fail("the program did not take the events of " + action);
}

void wait_for_window() {
    const bool ready = ui_condition_within(
        [] {
            QWidget* window = main_window();
            return window && window->isVisible() && control_of(22) != nullptr;
        },
        seconds(60), "waiting for the main window");
    if (!ready) give_up("the main window did not open");
    // As on a desktop, the new window has the focus; a platform that cannot give it goes on
    // without.
    on_ui([] { main_window()->activateWindow(); }, "activating the main window");
    ui_condition_within([] { return main_window()->isActiveWindow(); }, seconds(5),
                        "waiting for the main window to become active");
    on_ui([] { screen_watch_start(main_window()); }, "starting the screen watch");
}

void drive(const std::function<void(program_driver&)>& script) {
    faces = load_button_faces();
    if (!hand_off_wait_for_application(seconds(60)))
        give_up("the program made no application object");
    program_driver driver;
    if (faces.up.rgba.empty() || faces.down.rgba.empty())
        driver.fail("the start button's artwork could not be read");
    wait_for_window();
    script(driver);
    driver.close_window();
}

// A program that ends by itself after the script: the driver only waits for that end.
void drive_without_window(const std::function<void(program_driver&)>& script) {
    if (!hand_off_wait_for_application(seconds(60)))
        give_up("the program made no application object");
    program_driver driver;
    script(driver);
    child_report({"done"});
    for (;;)
        std::this_thread::sleep_for(seconds(1));
}

// Enters the working folder as a desktop start does, with the offscreen platform.
void prepare_process(const std::string& working_folder) {
    if (chdir(working_folder.c_str()) != 0) give_up("cannot enter " + working_folder);
    const std::string runtime_folder = working_folder + "/.xdg-runtime";
    mkdir(runtime_folder.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime_folder.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    hand_off_watch_for_application();
}

} // namespace

void program_driver::click(obj_number gadget) {
    const std::string action = "clicking gadget " + std::to_string(gadget);
    bool clicked = false;
    on_ui(
        [&] {
            QWidget* control = control_of(gadget);
            if (!control) return;
            QTest::mouseClick(control, Qt::LeftButton);
            clicked = true;
        },
        action);
    if (!clicked) fail("there is no gadget " + std::to_string(gadget) + " to click");
    settle(*this, action);
}

void program_driver::type_text(obj_number gadget, const std::string& text) {
    const std::string action = "typing into gadget " + std::to_string(gadget);
    std::string now;
    on_ui(
        [&] {
            auto* edit = qobject_cast<QLineEdit*>(control_of(gadget));
            if (!edit) return;
            QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(edit, Qt::Key_Backspace);
            QTest::keyClicks(edit, QString::fromStdString(text));
            now = utf8(edit->text());
        },
        action);
    if (now != text) fail(action + " left \"" + now + "\" instead of \"" + text + "\"");
    settle(*this, action);
}

bool program_driver::choose_folder(obj_number button, const std::string& folder) {
    const std::string title = button == 3 ? "Load images..." : "Save images...";
    click(button);
    const std::optional<shown_dialog> dialog = screen_watch_next_dialog(dialog_limit);
    if (!dialog) {
        fail("no folder chooser came after clicking gadget " + std::to_string(button));
        return false;
    }
    if (dialog->is_message || dialog->title != title) {
        fail("expected the chooser \"" + title + "\", saw \"" + dialog->title + "\"");
        answer_with_default(*dialog);
        return false;
    }
    if (!answer_chooser(*dialog, folder)) {
        fail("the folder chooser did not take \"" + folder + "\"");
        return false;
    }
    return true;
}

bool program_driver::answer_message(const std::string& title, reply button) {
    const std::optional<shown_dialog> dialog = screen_watch_next_dialog(dialog_limit);
    if (!dialog) {
        fail("no message box came; expected \"" + title + "\"");
        return false;
    }
    if (!dialog->is_message || dialog->title != title) {
        fail("expected the message \"" + title + "\", saw \"" + dialog->title + "\"");
        answer_with_default(*dialog);
        return false;
    }
    if (press(*dialog, button)) return true;
    fail(std::string("could not press ") + button_name(button) + " in \"" + title + "\"");
    answer_with_default(*dialog);
    return false;
}

bool program_driver::answer_ok_without_window(const std::string& title) {
    // Only the user-interface thread touches the box; it is looked up anew at each step.
    const auto shown_box = [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        return box && box->isVisible() ? box : nullptr;
    };
    if (!ui_condition_within([&] { return shown_box() != nullptr; }, dialog_limit,
                             "waiting for a message box")) {
        fail("no message box came; expected \"" + title + "\"");
        return false;
    }
    bool pressed = false;
    on_ui(
        [&] {
            QMessageBox* box = shown_box();
            if (!box) return;
            const std::string shown_title = utf8(box->windowTitle());
            child_report({"message", shown_title, utf8(box->text()), ""});
            QAbstractButton* ok = box->button(QMessageBox::Ok);
            if (shown_title != title || !ok) return;
            ok->click();
            pressed = true;
        },
        "answering a message box");
    if (!pressed) fail("could not press OK in \"" + title + "\"");
    return pressed;
}

bool program_driver::answer_next_dialog(milliseconds limit) {
    const std::optional<shown_dialog> dialog = screen_watch_next_dialog(limit);
    if (dialog) answer_with_default(*dialog);
    return dialog.has_value();
}

void program_driver::wait_until_idle() {
    const auto deadline = std::chrono::steady_clock::now() + idle_limit;
    while (render_flag() != 0) {
        answer_next_dialog(milliseconds(5));
        if (std::chrono::steady_clock::now() >= deadline) {
            fail("the render did not end");
            return;
        }
    }
    if (!ui_condition_within([] { return utf8(main_window()->windowTitle()) == idle_title; },
                             seconds(10), "waiting for the idle title"))
        fail("the window title did not return to its idle text");
}

bool program_driver::wait_for_file(const std::string& path, milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    struct stat info {};
    while (stat(path.c_str(), &info) != 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            fail("no file " + path + " appeared");
            return false;
        }
        std::this_thread::sleep_for(poll_interval);
    }
    return true;
}

std::int32_t program_driver::render_flag() const {
    return program.render_flag.load();
}

void program_driver::note(const std::string& key, const std::string& value) {
    child_report({"note", key, value});
}

void program_driver::note_start_button(const std::string& key) {
    note_gadget_state(key + ".state", 9);
    std::string face;
    on_ui(
        [&] {
            if (QWidget* button = control_of(9)) face = shown_face(button, faces);
        },
        "looking at the start button");
    note(key + ".face", face);
}

void program_driver::note_window_title(const std::string& key) {
    std::string title;
    on_ui([&] { title = utf8(main_window()->windowTitle()); }, "reading the window title");
    note(key, title);
}

void program_driver::note_status(const std::string& key) {
    std::string text;
    on_ui(
        [&] {
            for (QObject* child : main_window()->children()) {
                auto* bar = dynamic_cast<statusbar_widget*>(child);
                if (!bar) continue;
                QList<QLabel*> fields = bar->findChildren<QLabel*>();
                std::sort(fields.begin(), fields.end(), [](QLabel* a, QLabel* b) {
                    return a->geometry().x() < b->geometry().x();
                });
                if (!fields.isEmpty()) text = utf8(fields.front()->text());
            }
        },
        "reading the status bar");
    note(key, text);
}

void program_driver::note_gadget_text(const std::string& key, obj_number gadget) {
    std::string text;
    on_ui(
        [&] {
            if (const gadget_record* record = gadget_lookup(gadget))
                text = utf8(record->kind->get_text(record->control));
        },
        "reading a gadget's text");
    note(key, text);
}

void program_driver::note_gadget_state(const std::string& key, obj_number gadget) {
    std::string state;
    on_ui(
        [&] {
            if (const gadget_record* record = gadget_lookup(gadget))
                state = std::to_string(record->kind->get_state(record->control));
        },
        "reading a gadget's state");
    note(key, state);
}

void program_driver::note_file(const std::string& key, const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        note(key, "<missing>");
        return;
    }
    note(key, std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()));
}

void program_driver::fail(const std::string& what) {
    child_report({"fail", what});
}

void program_driver::close_window() {
    child_report({"done"});
    child_report({"closing", std::to_string(monotonic_ns())});
    on_ui([] { main_window()->close(); }, "closing the window");
    for (;;)
        std::this_thread::sleep_for(seconds(1));
}

void run_program_with_driver(const std::string& working_folder,
                             std::function<void(program_driver&)> script) {
    prepare_process(working_folder);
    std::thread(drive, std::move(script)).detach();
    korvel_run();
}

void run_program_without_window_with_driver(const std::string& working_folder,
                                            std::function<void(program_driver&)> script) {
    prepare_process(working_folder);
    std::thread(drive_without_window, std::move(script)).detach();
    korvel_run();
}

} // namespace korvel::app_test
