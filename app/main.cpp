// Start-up: the file type sets, the application object with its version data and
// menu bar, then the event loop, whose first event opens the main window. On
// Linux the files named on the command line are documents to open, and a program
// already running for this user takes them instead.
#include "app/App.h"
#include "app/ConvertThread.h"
#include "app/DropTypes.h"
#include "app/SingleInstance.h"
#include "app/wMain.h"
#include "platform/InFlight.h"
#include "writer/Writer.h"

#include <QApplication>
#include <QTimer>

#include <cstdlib>

int main(int argc, char** argv) {
    QApplication framework(argc, argv);
    QApplication::setApplicationName("quillmark-pro-converter");
    QGuiApplication::setDesktopFileName("quillmark-pro-converter");

#if !defined(Q_OS_MACOS)
    // Every argument is a document: there are no options of our own (the
    // framework has taken its own out of the list).
    const QStringList files = QApplication::arguments().mid(1);
    qmk::SingleInstance instance;
#endif

    qmk::DropTypes::Initialize();
    qmk::VLQmka::Initialize();

    std::unique_ptr<qmk::App> app = qmk::NewAppInstance();
#if !defined(Q_OS_MACOS)
    if (app->handOverOrListen(instance, files))
        return 0;
    app->openAtStart(files);
#else
    // The desktop's documents come as file-open events.
    QTimer::singleShot(0, app.get(), &qmk::App::Event_Open);
#endif
    qmk::QuitOnTerminationSignals();

    const int code = QApplication::exec();

    // The worker was told to stop as the loop ended. One that does not reach its
    // next pause in time must not hold the quit: end the process as it is.
    if (qmk::wMain* w = app->mainWindow(); w && !w->convertThread()->stop(0)) {
        qmk::RemoveInFlightTemporary(); // the hidden file it may be writing goes with it
        std::_Exit(code);
    }
    return code;
}
