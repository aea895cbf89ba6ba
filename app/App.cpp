#include "app/App.h"

#include "app/MainMenuBar.h"
#include "app/SingleInstance.h"
#include "app/Version.h"
#include "app/wMain.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileOpenEvent>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

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
    wMain* w = mainWindow_.get();
    if (w->queue) {
        w->queue->addFile(*file);
        return;
    }
    auto files = std::make_shared<FileList>();
    w->state().setFileToConvert(*file);
    files->push_back(*file);
    w->startBatch(std::move(files));
}

void App::openDocuments(const QStringList& paths) {
    for (const QString& p : paths)
        if (!p.isEmpty())
            Event_OpenDocument(FolderItem(QFileInfo(p).absoluteFilePath().toStdString()));
}

void App::openAtStart(const QStringList& paths) {
    // Made absolute now, before anything could change the current folder.
    QStringList absolute;
    for (const QString& p : paths)
        if (!p.isEmpty())
            absolute << QFileInfo(p).absoluteFilePath();
    QTimer::singleShot(0, this, [this, absolute] {
        Event_Open();
        openDocuments(absolute);
    });
}

bool App::handOverOrListen(SingleInstance& instance, const QStringList& files) {
    if (instance.forwardToRunning(files))
        return true;
    // Two launches at once: the one that loses the race hands its files over.
    if (!instance.listen() && instance.forwardToRunning(files))
        return true;
    connect(&instance, &SingleInstance::filesOpened, this, [this](const QStringList& later) {
        openDocuments(later);
        // A launch brings the running program to the front.
        if (wMain* w = mainWindow()) {
            w->raise();
            w->activateWindow();
        }
    });
    return false;
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

namespace {
int signalPipe[2] = {-1, -1};

void onTerminationSignal(int) {
    // Only a write is safe here; the event loop does the quitting.
    const char c = 1;
    [[maybe_unused]] auto n = ::write(signalPipe[1], &c, 1);
}
} // namespace

void QuitOnTerminationSignals() {
    if (signalPipe[0] >= 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    auto* notifier =
        new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char c;
        [[maybe_unused]] auto n = ::read(signalPipe[0], &c, 1);
        Quit(0);
    });
    struct sigaction sa = {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
}

} // namespace qmk
