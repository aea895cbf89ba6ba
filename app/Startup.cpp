#include "app/Startup.h"

#include "app/App.h"
#include "app/ConvertThread.h"
#include "app/DropTypes.h"
#include "app/SingleInstance.h"
#include "app/Termination.h"
#include "app/wMain.h"
#include "writer/Writer.h"

#include <QApplication>
#include <QProcessEnvironment>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace qmk {

namespace {
std::function<void(StartupStep)> watcher;
} // namespace

void WatchStartup(std::function<void(StartupStep)> watch) {
    watcher = std::move(watch);
}

void StartupStepDone(StartupStep step) {
    if (watcher)
        watcher(step);
}

CommandLine::CommandLine(int argc, char** argv) : program_(argc > 0 ? argv[0] : "") {
    for (int i = 1; i < argc; ++i)
        args_.emplace_back(argv[i]);
    toolkitArgv_.push_back(program_.data());
    for (size_t i = 0; i < args_.size(); ++i) {
        if (end_ < 0 && args_[i] == "--") {
            end_ = int(i);
            document_.push_back(false);
            continue;
        }
        struct stat st;
        const bool isDocument = end_ >= 0 || ::lstat(args_[i].c_str(), &st) == 0;
        document_.push_back(isDocument);
        if (!isDocument)
            toolkitArgv_.push_back(args_[i].data());
    }
    toolkitArgc_ = int(toolkitArgv_.size());
    toolkitArgv_.push_back(nullptr);
}

QByteArrayList CommandLine::documents() const {
    const auto left = toolkitArgv_.begin() + 1, leftEnd = toolkitArgv_.begin() + toolkitArgc_;
    QByteArrayList docs;
    for (size_t i = 0; i < args_.size(); ++i) {
        if (int(i) == end_)
            continue;
        // The toolkit keeps what it does not take, in its order.
        if (document_[i] || std::find(left, leftEnd, args_[i].data()) != leftEnd)
            docs << QByteArray::fromStdString(args_[i]);
    }
    return docs;
}

void CommandLine::setToolkitPlatform(const QByteArray& platform) {
    if (platform.isEmpty())
        return;
    platformOption_ = {"-platform", platform.toStdString()};
    toolkitArgv_.insert(toolkitArgv_.begin() + 1,
                        {platformOption_[0].data(), platformOption_[1].data()});
    toolkitArgc_ += 2;
}

QByteArray ToolkitPlatform(const QProcessEnvironment& environment, int argc,
                           const char* const* argv) {
    // The toolkit takes an empty QT_QPA_PLATFORM as none, and "-platform" only
    // with a name after it.
    if (!environment.value("QT_QPA_PLATFORM").isEmpty())
        return {};
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return {};
    // Either sign alone makes the toolkit take Wayland: WAYLAND_DISPLAY, or the
    // session type, with which it finds the compositor's default socket.
    const bool wayland = environment.value("XDG_SESSION_TYPE") == "wayland" ||
                         !environment.value("WAYLAND_DISPLAY").isEmpty();
    if (!wayland || environment.value("DISPLAY").isEmpty())
        return {};
    // Wayland still, should the X display not answer.
    return "xcb;wayland";
}

int HandOverInterrupted(const QByteArrayList& documents) {
    // Whoever started this launch (a desktop, a script) learns that its documents
    // went nowhere: neither to the running program nor converted here.
    const int sig = TerminationSignal();
    std::fprintf(stderr, "quillmark-pro-converter : arrêté par le signal %d ; %s\n", sig,
                 documents.isEmpty() ? "le programme déjà ouvert n'a pas été joint."
                                     : "les documents n'ont pas été transmis au programme "
                                       "déjà ouvert.");
    return 128 + sig;
}

int RunApplication(int argc, char** argv, const std::function<void(int code)>& forcedExit) {
    // Before anything else, so that no moment of start-up dies of a termination signal.
    CatchTerminationSignals();
    StartupStepDone(StartupStep::TerminationSignals);

    CommandLine line(argc, argv);
    // Chosen before the toolkit starts, as its arguments: the environment that
    // the program hands on to what it starts stays as it was.
    line.setToolkitPlatform(ToolkitPlatform(QProcessEnvironment::systemEnvironment(),
                                            line.toolkitArgc(), line.toolkitArgv()));
    QApplication framework(line.toolkitArgc(), line.toolkitArgv());
    QApplication::setApplicationName("quillmark-pro-converter");
    QGuiApplication::setDesktopFileName("quillmark-pro-converter");
    QuitOnTerminationSignals();
    StartupStepDone(StartupStep::Framework);
    if (TerminationRequested())
        return 0;

    DropTypes::Initialize();
    StartupStepDone(StartupStep::DropTypes);
    VLQmka::Initialize();
    StartupStepDone(StartupStep::ProTypes);

    std::unique_ptr<App> app = NewAppInstance();
#if !defined(Q_OS_MACOS)
    // On Linux the documents come on the command line, and a program already
    // running for this user takes them instead.
    const QByteArrayList documents = line.documents();
    SingleInstance instance;
    const SingleInstance::Role role = app->handOverOrListen(instance, documents);
    if (role == SingleInstance::Role::HandedOver)
        return 0;
    if (role == SingleInstance::Role::Alone && TerminationRequested())
        return HandOverInterrupted(documents);
    StartupStepDone(StartupStep::Instance);
    if (TerminationRequested())
        return 0;
    app->openAtStart(documents);
#else
    // The desktop's documents come as file-open events.
    StartupStepDone(StartupStep::Instance);
    QTimer::singleShot(0, app.get(), &App::Event_Open);
#endif

    StartupStepDone(StartupStep::EventLoop);
    const int code = QApplication::exec();

    // The worker was told to stop as the loop ended.
    if (wMain* w = app->mainWindow(); w && !w->convertThread()->stop(0))
        forcedExit(code);
    return code;
}

} // namespace qmk
