#include "app/App.h"

#include "app/MainMenuBar.h"
#include "app/wMain.h"

#include <QCoreApplication>

namespace qmk {

namespace {
App* theApp = nullptr;
bool quitting = false;
} // namespace

App::App() {
    theApp = this;
}

App::~App() {
    mainWindow_.reset();
    if (theApp == this)
        theApp = nullptr;
}

App* App::instance() {
    return theApp;
}

void App::Event_Open() {
    if (mainWindow_)
        return;
    mainWindow_ = std::make_unique<wMain>();
}

void App::setVersionData(int major, int minor, int bug, int nonRelease, int stage,
                         const QString& longVersion, const QString& shortVersion,
                         const QString& packageInfo) {
    version_ = {major, minor, bug, nonRelease, stage, longVersion, shortVersion, packageInfo};
    QCoreApplication::setApplicationVersion(shortVersion);
}

std::unique_ptr<App> NewAppInstance() {
    auto app = std::make_unique<App>();
    app->setVersionData(1, 0, 1, 29, 3, "1.0.1", "1.0.1",
                        "Quillmark Pro Converter 1.0.1, convertit les documents Plus / X et 3.2 "
                        "en documents Pro 6.2");
    // Built here, at its first request; on macOS a menu bar without a parent is the
    // application's own, elsewhere the main window puts it above its content.
    MainMenuBar::instance();
    return app;
}

void Quit(int code) {
    if (!quitting) {
        quitting = true;
        // Once the loop has ended, a later run of it (tests) starts afresh.
        QObject::connect(
            QCoreApplication::instance(), &QCoreApplication::aboutToQuit,
            QCoreApplication::instance(), [] { quitting = false; }, Qt::SingleShotConnection);
    }
    QCoreApplication::exit(code);
}

bool Quitting() {
    return quitting;
}

} // namespace qmk
