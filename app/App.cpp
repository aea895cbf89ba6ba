#include "app/App.h"

#include "app/FileNames.h"
#include "app/MainMenuBar.h"
#include "app/SingleInstance.h"
#include "app/Startup.h"
#include "app/Version.h"
#include "app/wMain.h"

#include <QCoreApplication>
#include <QFileOpenEvent>
#include <QTimer>

namespace qmk {

namespace {
App* theApp = nullptr;
bool quitting = false;
} // namespace

App::App() {
    theApp = this;
    if (QCoreApplication* core = QCoreApplication::instance())
        core->installEventFilter(this);
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

void App::Event_OpenDocument(const std::optional<FolderItem>& file) {
    if (!file || file->path().empty())
        return;
    if (!mainWindow_)
        Event_Open();
    // The same road as a drop: joins the running batch, or starts one.
    mainWindow_->takeFiles(std::make_shared<FileList>(FileList{*file}));
}

void App::openDocuments(const QByteArrayList& names) {
    for (const QByteArray& n : names)
        if (!n.isEmpty())
            Event_OpenDocument(FolderItem(absoluteName(n).toStdString()));
}

void App::openAtStart(const QByteArrayList& names) {
    // Made absolute now, before anything could change the current folder.
    QByteArrayList absolute;
    for (const QByteArray& n : names)
        if (!n.isEmpty())
            absolute << absoluteName(n);
    QTimer::singleShot(0, this, [this, absolute] {
        Event_Open();
        openDocuments(absolute);
    });
}

SingleInstance::Role App::handOverOrListen(SingleInstance& instance, const QByteArrayList& files) {
    // One that can neither hand over nor listen (no private folder, another
    // user's listener) goes on alone with its files.
    const SingleInstance::Role role = instance.start(files);
    if (role != SingleInstance::Role::Listening)
        return role;
    connect(&instance, &SingleInstance::filesOpened, this, [this](const QByteArrayList& later) {
        openDocuments(later);
        // A launch brings the running program to the front, also out of the
        // taskbar where a desktop minimised it anyway: the batch runs in view.
        if (wMain* w = mainWindow()) {
            if (w->isMinimized())
                w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
            w->show();
            w->raise();
            w->activateWindow();
        }
    });
    return role;
}

bool App::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FileOpen) {
        const QString path = static_cast<QFileOpenEvent*>(event)->file();
        if (!path.isEmpty())
            Event_OpenDocument(FolderItem(path.toStdString()));
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void App::setVersionData(int major, int minor, int bug, int nonRelease, int stage,
                         const QString& longVersion, const QString& shortVersion,
                         const QString& packageInfo) {
    version_ = {major, minor, bug, nonRelease, stage, longVersion, shortVersion, packageInfo};
    QCoreApplication::setApplicationVersion(shortVersion);
}

std::unique_ptr<App> NewAppInstance() {
    auto app = std::make_unique<App>();
    app->setVersionData(version::kMajor, version::kMinor, version::kBug, version::kNonRelease,
                        version::kStageCode, version::kLong, version::kShort,
                        version::kPackageInfo);
    StartupStepDone(StartupStep::ApplicationObject);
    // Built here, at its first request; on macOS a menu bar without a parent is the
    // application's own, elsewhere the main window puts it above its content.
    MainMenuBar::instance();
    StartupStepDone(StartupStep::MenuBar);
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
