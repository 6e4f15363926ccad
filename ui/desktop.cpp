// The desktop services the program needs besides its windows: opening a web address and the
// application icon.
#include "ui/desktop.h"

#include "ui/image_copy.h"
#include "ui/qt_text.h"
#include "ui/ui_calls.h"

#include <QApplication>
#include <QDesktopServices>
#include <QIcon>
#include <QPixmap>
#include <QUrl>

namespace korvel {

void desktop_open_address(const char16_t* address) {
    const std::u16string copy = text_copy(address);
    call_for_effect([&copy] { QDesktopServices::openUrl(QUrl(to_qstring(copy))); });
}

std::int32_t desktop_set_icon(const image_handle_t* images, std::int32_t count) {
    if (!qApp || !on_ui_thread() || !images) return 0;
    QIcon icon;
    std::int32_t used = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        const QImage image = image_copy(images[i]);
        if (image.isNull()) continue;
        icon.addPixmap(QPixmap::fromImage(image));
        ++used;
    }
    if (used > 0) QApplication::setWindowIcon(icon);
    return used;
}

} // namespace korvel
