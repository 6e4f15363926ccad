// The driver works from a timer and an event filter on the user-interface thread: only the thread
// that owns the widgets touches them, and no hand-over between threads is needed.
#include "program_driver.h"

#include "tests/support/process_watch.h"
#include "ui/event_queue.h"
#include "ui/gadget.h"
#include "ui/gadget_record.h"
#include "ui/window_record.h"
#include "ui/window_widget.h"
#include "window/program_state.h"
#include "window/startup.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "tests/support/scratch_folder.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace korvel::window_test {

namespace {

using steady = std::chrono::steady_clock;
using outcome = std::optional<std::string>; // nullopt: not yet; "": done; otherwise the failure

constexpr auto STEP_LIMIT = std::chrono::seconds(90); // for long renders under the sanitizers
int report_pipe = -1;

struct step {
    std::string verb, arg;
};

QWidget* control(obj_number gadget) {
    const gadget_record* record = gadget_lookup(gadget);
    return record ? record->control : nullptr;
}

obj_number gadget_of(const std::string& verb) {
    if (verb == "render" || verb == "state") return GADGET_START;
    if (verb == "rev") return GADGET_REVERSE;
    if (verb == "click-in") return GADGET_INPUT_CHOOSE;
    if (verb == "L") return GADGET_LAYERS;
    if (verb == "A") return GADGET_ALPHA;
    if (verb == "in-field") return GADGET_INPUT_FOLDER;
    return verb == "out-field" ? GADGET_OUTPUT_FOLDER : 0;
}

// What a check reads; status field 0 is the status bar's first label.
QString value_of(const std::string& verb, QWidget* window) {
    if (verb == "state") return QString::number(gadget_get_state(gadget_of(verb)));
    if (verb == "flag") return QString::number(program.render_flag.load());
    for (QLabel* label : window->findChildren<QLabel*>())
        if (verb == "status" && label->x() == 0 && label->parentWidget()->parentWidget() == window)
            return label->text();
    auto* field = qobject_cast<QLineEdit*>(control(gadget_of(verb)));
    return field ? field->text() : QStringLiteral("<nothing>");
}

class driver : public QObject {
public:
    driver(std::vector<step> steps, scenario_step own) : steps_(steps), own_(std::move(own)) {
        qApp->installEventFilter(this);
        timer_ = startTimer(2);
    }

    // Widgets' events only: events that other threads post to plain objects are read by their
    // receivers alone, once those have taken the lock they were posted under.
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = watched->isWidgetType() ? static_cast<QWidget*>(watched) : nullptr;
        if (widget && widget == window_ && event->type() == QEvent::WindowTitleChange)
            titles_ += (titles_.isEmpty() ? "" : ",") + widget->windowTitle();
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box && event->type() == QEvent::Show)
            child_report({"message", (box->windowTitle() + " / " + box->text()).toStdString()});
        return false;
    }

protected:
    // A step goes ahead once the program has taken the events of the last one and is past the
    // last dialog answered, or waits for the user in a dialog.
    void timerEvent(QTimerEvent*) override {
        if (!window_) return start();
        if (next_ == steps_.size()) return close_window();
        const bool settled =
            QApplication::activeModalWidget() || (event_queue_length() == 0 && answered_.isNull());
        outcome result = settled ? attempt(steps_[next_]) : std::nullopt;
        if (!result && steady::now() - since_ > STEP_LIMIT) result = "it did not come in time";
        if (!result) return;
        if (!result->empty())
            child_report({"fail", "step " + std::to_string(next_ + 1) + " " + steps_[next_].verb +
                                      ": " + *result});
        next_ = result->empty() ? next_ + 1 : steps_.size();
        if (result->empty() && next_ == steps_.size()) child_report({"done"});
        phase_ = 0;
        since_ = steady::now();
    }

private:
    // Once the main window is up: as on a desktop it gets the focus, and its progress is shown.
    void start() {
        const window_record* record = window_lookup(MAIN_WINDOW);
        if (!record || !record->widget->isVisible() || !control(GADGET_REVERSE)) return;
        window_ = record->widget;
        window_->activateWindow();
        for (QProgressBar* bar : window_->findChildren<QProgressBar*>())
            connect(bar, &QProgressBar::valueChanged, this, [this](int value) {
                progress_ += (progress_.isEmpty() ? "" : ",") + QString::number(value);
            });
    }

    // A dialog left open by a failed step would keep the program from taking the close.
    void close_window() {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            return dialog->reject();
        child_report({"progress", progress_.toStdString()});
        window_->close();
        killTimer(timer_);
    }

    outcome attempt(const step& now);
    outcome answer(const std::string& how);
    outcome choose(obj_number button, const std::string& folder, const char* title);

    std::vector<step> steps_;
    scenario_step own_;
    QPointer<QWidget> window_, answered_;
    QString titles_, progress_; // every title and progress shown so far
    std::size_t next_ = 0;
    int phase_ = 0, timer_ = 0;
    steady::time_point since_ = steady::now();
};

outcome driver::attempt(const step& now) {
    const std::string& verb = now.verb;
    if (verb == "in") return choose(GADGET_INPUT_CHOOSE, now.arg, "Load images...");
    if (verb == "out") return choose(GADGET_OUTPUT_CHOOSE, now.arg, "Save images...");
    if (verb == "ok" || verb == "yes" || verb == "no" || verb == "enter") return answer(verb);
    if (verb == "held") return done_when(test::wait_for_pipe_opener(0, {}));
    if (verb == "idle")
        return done_when(program.render_flag.load() == 0 &&
                         window_->windowTitle() == QString::fromUtf16(WINDOW_TITLE));
    if (now.arg.starts_with('=')) {
        const QString& shown = verb == "titles" ? titles_ : progress_;
        const std::string seen =
            (verb == "titles" || verb == "progress" ? shown : value_of(verb, window_))
                .toStdString();
        return seen == now.arg.substr(1) ? "" : "saw \"" + seen + "\"";
    }
    const bool click = verb == "render" || verb == "rev" || verb == "click-in";
    if (click) QTest::mouseClick(control(gadget_of(verb)), Qt::LeftButton);
    auto* field = click ? nullptr : qobject_cast<QLineEdit*>(control(gadget_of(verb)));
    if (!field) return click ? outcome("") : own_(verb, now.arg);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Backspace);
    // The whole text in one key event, as an input method gives it: QTest knows no other letters.
    const QString text = QString::fromStdString(now.arg);
    QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, text, Qt::NoModifier);
    return field->text() == text ? "" : "typed " + field->text().toStdString();
}

outcome driver::answer(const std::string& how) {
    QWidget* modal = QApplication::activeModalWidget();
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box) return modal ? outcome("the dialog shown is no message box") : std::nullopt;
    answered_ = box;
    QAbstractButton* button = box->button(how == "yes"  ? QMessageBox::Yes
                                          : how == "no" ? QMessageBox::No
                                                        : QMessageBox::Ok);
    if (how == "enter")
        QTest::keyClick(box, Qt::Key_Return);
    else if (button)
        QTest::mouseClick(button, Qt::LeftButton);
    return box->isVisible() ? "the box stayed open" : "";
}

outcome driver::choose(obj_number button, const std::string& folder, const char* title) {
    if (phase_++ == 0) QTest::mouseClick(control(button), Qt::LeftButton);
    auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (phase_ == 1 || !chooser || chooser->windowTitle() != title)
        return phase_ == 1 ? std::nullopt : outcome("no chooser came");
    chooser->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(folder));
    const auto which = folder.empty() ? QDialogButtonBox::Cancel : QDialogButtonBox::Open;
    QTest::mouseClick(chooser->findChild<QDialogButtonBox*>()->button(which), Qt::LeftButton);
    answered_ = chooser;
    return chooser->isVisible() ? "the chooser did not take " + folder : "";
}

} // namespace

std::optional<std::string> done_when(bool condition) {
    return condition ? outcome("") : std::nullopt;
}

std::string expand(std::string text, const program_folders& folders) {
    const std::pair<const char*, const std::string*> marks[] = {
        {"<root>", &folders.root}, {"<in>", &folders.in}, {"<out>", &folders.out}};
    for (const auto& [mark, value] : marks)
        for (std::size_t at; (at = text.find(mark)) != std::string::npos;)
            text.replace(at, std::string(mark).size(), *value);
    return text;
}

void child_report(const std::vector<std::string>& fields) {
    std::string line;
    for (const std::string& field : fields)
        line += field + '\t';
    std::replace(line.begin(), line.end(), '\n', ' ');
    line.back() = '\n';
    if (write(report_pipe, line.data(), line.size()) < 0) return;
}

std::vector<std::string> program_run::all(const std::string& kind) const {
    std::vector<std::string> found;
    std::istringstream lines(reports);
    for (std::string line; std::getline(lines, line);)
        if (line.substr(0, line.find('\t')) == kind)
            found.push_back(line.substr(std::min(line.size(), kind.size() + 1)));
    return found;
}

// The script is read in the child; a bare "in" or "out" chooses the scenario's folder.
program_child::program_child(const program_folders& folders, const std::string& script,
                             scenario_step own, const std::string& errors,
                             std::chrono::seconds limit)
    : deadline_(steady::now() + limit), errors_(errors) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return;
    std::fflush(nullptr); // or the child writes what is buffered here once more
    pid_ = fork();
    close(ends[pid_ == 0 ? 0 : 1]);
    pipe_ = ends[0];
    if (pid_ != 0) return;
    prctl(PR_SET_PDEATHSIG, SIGKILL); // a child left behind by a killed test must not run on
    dup2(open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
    report_pipe = ends[1];
    static std::vector<step> steps;
    static scenario_step scenario_own = std::move(own);
    std::istringstream tokens(script);
    for (std::string token; std::getline(tokens, token, ';');) {
        token.erase(0, token.find_first_not_of(' '));
        const std::size_t equals = token.find('=');
        std::string arg = equals == token.npos ? "" : expand(token.substr(equals + 1), folders);
        if (token == "in" || token == "out") arg = token == "in" ? folders.in : folders.out;
        if (!token.empty()) steps.push_back({token.substr(0, equals), arg});
    }
    if (chdir(folders.root.c_str()) != 0) _exit(3);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qAddPreRoutine([] { new driver(steps, scenario_own); });
    korvel_run();
}

program_run program_child::finish() {
    program_run run;
    if (pid_ < 0) return run;
    char buffer[4096];
    for (ssize_t got = 1; got > 0;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline_ - steady::now());
        pollfd watched{pipe_, POLLIN, 0};
        got = left.count() > 0 && poll(&watched, 1, int(left.count())) > 0
                  ? read(pipe_, buffer, sizeof buffer)
                  : 0;
        run.reports.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
    }
    run.timed_out = steady::now() >= deadline_;
    if (run.timed_out) kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    close(pipe_);
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    run.errors = test::read_file(errors_);
    return run;
}

} // namespace korvel::window_test
