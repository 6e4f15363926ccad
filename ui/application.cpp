// The Qt application object, created on the thread that starts the toolkit, and the look of its
// controls.
#include "ui/application.h"

#include "ui/toolkit.h"
#include "ui/ui_calls.h"

#include <QApplication>
#include <QPixmapCache>

namespace korvel {
namespace {

// Every folder chooser and message box draws its icons afresh under new cache keys, so Qt's
// pixmap cache gains some 40 KiB per render until it reaches its limit (10 MiB by default). The
// window and its dialogs need a small part of that; a low limit keeps a long session flat.
constexpr int PIXMAP_CACHE_KIB = 512;

} // namespace

void application_start() {
    if (!QCoreApplication::instance()) {
        // The program has no command line; Qt keeps references to argc and argv for its lifetime.
        static int argc = 1;
        static char name[] = "korvel";
        static char* argv[] = {name, nullptr};
        // Never destroyed: the process ends with the application still in place, and threads
        // that are still running may ask it for their calls until then.
        new QApplication(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Korvel"));
        QPixmapCache::setCacheLimit(PIXMAP_CACHE_KIB);
    }
    calls_start();
}

void controls_init() {
    // One style everywhere, so that the controls look and measure the same on every desktop.
    if (qApp) QApplication::setStyle(QStringLiteral("Fusion"));
}

} // namespace korvel
