// The folder chooser requester: Qt's own dialog, which works with or without a desktop portal.
#include "ui/qt_text.h"
#include "ui/requester.h"
#include "ui/requester_dialog.h"
#include "ui/ui_calls.h"

#include <QDir>
#include <QFileDialog>

namespace korvel {
namespace {

// A path that names no folder here (such as another system's drive letter) opens at the root.
QString starting_folder(const QString& initial) {
    return !initial.isEmpty() && QDir(initial).exists() ? initial : QDir::rootPath();
}

QString with_trailing_slash(QString path) {
    if (!path.endsWith(u'/')) path += u'/';
    return path;
}

void open_folder_chooser(const QString& title, const QString& initial, const call_reply& reply) {
    auto* chooser = new QFileDialog(requester_owner(), title, starting_folder(initial));
    chooser->setFileMode(QFileDialog::Directory);
    chooser->setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    requester_run(chooser, reply, [chooser](int code) -> call_result {
        const QStringList chosen = chooser->selectedFiles();
        if (code != QDialog::Accepted || chosen.isEmpty() || chosen.first().isEmpty()) return {};
        return {0, with_trailing_slash(chosen.first()).toStdU16String()};
    });
}

} // namespace

const char16_t* request_folder(const char16_t* title, const char16_t* initial, std::int32_t at) {
    const std::u16string title_copy = text_copy(title);
    const std::u16string initial_copy = text_copy(initial);
    call_result result;
    call_on_ui_thread(
        [&](const call_reply& reply) {
            open_folder_chooser(to_qstring(title_copy), to_qstring(initial_copy), reply);
        },
        &result);
    return ws_write_text(result.text, at);
}

} // namespace korvel
