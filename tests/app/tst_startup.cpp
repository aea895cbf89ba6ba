// Start-up order, version data, the one menu bar, and quitting (also mid-conversion).
#include "app/App.h"
#include "app/ConvertThread.h"
#include "app/DropTypes.h"
#include "app/MainMenuBar.h"
#include "app/Resources.h"
#include "app/Startup.h"
#include "app/wErrors.h"
#include "app/wMain.h"
#include "platform/Errors.h"
#include "platform/FileType.h"
#include "platform/Worker.h"
#include "writer/Writer.h"

#include <QAction>
#include <QApplication>
#include <QLayout>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>

using namespace qmk;

namespace {

// Run as this test's program with this argument, the program's own start-up runs,
// and what has been done is written out as each step ends.
constexpr char kWatchStartup[] = "--watch-start-up";

const char* stepName(StartupStep step) {
    switch (step) {
    case StartupStep::TerminationSignals:
        return "termination signals";
    case StartupStep::Framework:
        return "framework";
    case StartupStep::DropTypes:
        return "drop types";
    case StartupStep::ProTypes:
        return "Pro types";
    case StartupStep::ApplicationObject:
        return "application object";
    case StartupStep::MenuBar:
        return "menu bar";
    case StartupStep::Instance:
        return "instance";
    case StartupStep::EventLoop:
        return "event loop";
    }
    return "?";
}

// What a run has done so far, each part as "-" until it is done.
QString done() {
    struct sigaction term;
    ::sigaction(SIGTERM, nullptr, &term);
    QStringList types;
    for (const FileType& t : RegisteredFileTypes())
        types << QString::fromStdString(t.Name);
    bool menuBar = false;
    if (qApp)
        for (QWidget* w : QApplication::allWidgets())
            menuBar = menuBar || w->objectName() == "MainMenuBar";
    const App* app = App::instance();
    const QByteArray socket = qgetenv("XDG_RUNTIME_DIR") + "/quillmark-pro-converter.socket";
    return QStringList(
               {term.sa_handler != SIG_DFL ? "signals" : "-",
                qobject_cast<QApplication*>(QCoreApplication::instance()) ? "framework" : "-",
                types.isEmpty() ? "-" : types.join(","),
                app ? "app " + app->version().ShortVersion : "-", menuBar ? "menu" : "-",
                QFile::exists(QFile::decodeName(socket)) ? "listening" : "-",
                app && app->mainWindow() ? "window" : "-"})
        .join(" ");
}

void say(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

int watchStartup(char* program) {
    WatchStartup([](StartupStep step) {
        say(QString(stepName(step)) + ": " + done());
        if (step == StartupStep::EventLoop)
            QTimer::singleShot(0, [] {
                say("running: " + done());
                Quit(0);
            });
    });
    char* argv[] = {program, nullptr};
    const int code = RunApplication(1, argv, [](int) { say("forced exit"); });
    say(QString("exit %1").arg(code));
    return 0;
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

    // Runs the event loop until something ends it; a loop nobody ends gives 99.
    static int runLoop() {
        QTimer::singleShot(30000, [] { QCoreApplication::exit(99); });
        return QApplication::exec();
    }

  private slots:
    void initTestCase() { SetResourcesFolder(QMK_RESOURCES_DIR); }

    // The program's own start-up, run as main runs it in a process of its own: each
    // line is what has been done once a step ends, so that every step is seen to
    // come after the ones it needs and before those that need it.
    void startupTakesItsStepsInOrder() {
        QTemporaryDir runtime, home;
        QVERIFY(runtime.isValid() && home.isValid());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("HOME", home.path());
        env.remove("DBUS_SESSION_BUS_ADDRESS");
        QProcess run;
        run.setProcessEnvironment(env);
        run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        run.start(QCoreApplication::applicationFilePath(), {kWatchStartup});
        QVERIFY(run.waitForFinished(60000));
        QCOMPARE(run.exitCode(), 0);

        const QString types = "special/any," + QString::fromStdString(VLQmka::QuillProDoc().Name);
        const QStringList expected = {
            "termination signals: signals - - - - - -",
            "framework: signals framework - - - - -",
            "drop types: signals framework special/any - - - -",
            "Pro types: signals framework " + types + " - - - -",
            "application object: signals framework " + types + " app 1.0.1 - - -",
            "menu bar: signals framework " + types + " app 1.0.1 menu - -",
            "instance: signals framework " + types + " app 1.0.1 menu listening -",
            "event loop: signals framework " + types + " app 1.0.1 menu listening -",
            "running: signals framework " + types + " app 1.0.1 menu listening window",
            "exit 0",
        };
        QCOMPARE(QString::fromUtf8(run.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
                 expected);
    }

    // Every argument is a document but a first "--" and the toolkit's own options
    // before it; the toolkit sees no name of a file, and takes what it knows.
    void commandLineDocuments_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("taken"); // what the toolkit takes of what it sees
        QTest::addColumn<QStringList>("seen");
        QTest::addColumn<QStringList>("documents");
        // In the folder: "a.qmk3", "-reverse" and "--".
        QTest::newRow("files, missing names and options")
            << QStringList{"a.qmk3", "-style", "fusion", "b.qmk3", "-reverse"}
            << QStringList{"-style", "fusion"} << QStringList{"-style", "fusion", "b.qmk3"}
            << QStringList{"a.qmk3", "b.qmk3", "-reverse"};
        QTest::newRow("after the end of options")
            << QStringList{"-x", "--", "-style", "--", "a.qmk3"} << QStringList{}
            << QStringList{"-x"} << QStringList{"-x", "-style", "--", "a.qmk3"};
        QTest::newRow("nothing") << QStringList{} << QStringList{} << QStringList{}
                                 << QStringList{};
    }
    void commandLineDocuments() {
        QFETCH(QStringList, args);
        QFETCH(QStringList, taken);
        QFETCH(QStringList, seen);
        QFETCH(QStringList, documents);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        for (const char* name : {"a.qmk3", "-reverse", "--"}) {
            QFile f(folder.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(folder.path()));
        auto back = qScopeGuard([&] { QDir::setCurrent(before); });

        std::vector<QByteArray> storage = {"program"};
        for (const QString& a : args)
            storage.push_back(a.toUtf8());
        std::vector<char*> argv;
        for (QByteArray& a : storage)
            argv.push_back(a.data());
        CommandLine line(int(argv.size()), argv.data());

        // The toolkit takes its own out of the list, as QCoreApplication does.
        int& argc = line.toolkitArgc();
        char** tv = line.toolkitArgv();
        QCOMPARE(QByteArray(tv[0]), QByteArray("program"));
        QStringList got;
        int kept = 1;
        for (int i = 1; i < argc; ++i) {
            got << QString::fromUtf8(tv[i]);
            if (!taken.contains(QString::fromUtf8(tv[i])))
                tv[kept++] = tv[i];
        }
        argc = kept;
        QCOMPARE(got, seen);

        QStringList docs;
        for (const QByteArray& d : line.documents())
            docs << QString::fromUtf8(d);
        QCOMPARE(docs, documents);
    }

    // Where the windows go: through X11 in a Wayland session that offers XWayland,
    // else where the toolkit puts them; what the user chose always stands.
    void toolkitPlatform_data() {
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QStringList>("args"); // as the toolkit sees them
        QTest::addColumn<QByteArray>("platform");
        const QByteArray x11 = "xcb;wayland", toolkits; // toolkits: its own choice
        const QStringList session = {"XDG_SESSION_TYPE=wayland", "WAYLAND_DISPLAY=wayland-0",
                                     "DISPLAY=:0"};
        QTest::newRow("Wayland session with XWayland") << session << QStringList{} << x11;
        QTest::newRow("only the Wayland socket")
            << QStringList{"WAYLAND_DISPLAY=wayland-0", "DISPLAY=:0"} << QStringList{} << x11;
        QTest::newRow("only the session type")
            << QStringList{"XDG_SESSION_TYPE=wayland", "DISPLAY=:0"} << QStringList{} << x11;
        QTest::newRow("socket in an X11 session")
            << QStringList{"XDG_SESSION_TYPE=x11", "WAYLAND_DISPLAY=wayland-0", "DISPLAY=:0"}
            << QStringList{} << x11;
        QTest::newRow("without XWayland")
            << QStringList{"XDG_SESSION_TYPE=wayland", "WAYLAND_DISPLAY=wayland-0"} << QStringList{}
            << toolkits;
        QTest::newRow("empty DISPLAY")
            << QStringList{"XDG_SESSION_TYPE=wayland", "WAYLAND_DISPLAY=wayland-0", "DISPLAY="}
            << QStringList{} << toolkits;
        QTest::newRow("X11 session")
            << QStringList{"XDG_SESSION_TYPE=x11", "DISPLAY=:0"} << QStringList{} << toolkits;
        QTest::newRow("no desktop") << QStringList{} << QStringList{} << toolkits;
        QTest::newRow("QT_QPA_PLATFORM")
            << session + QStringList{"QT_QPA_PLATFORM=wayland"} << QStringList{} << toolkits;
        QTest::newRow("empty QT_QPA_PLATFORM")
            << session + QStringList{"QT_QPA_PLATFORM="} << QStringList{} << x11;
        QTest::newRow("-platform") << session << QStringList{"-platform", "wayland"} << toolkits;
        QTest::newRow("--platform")
            << session << QStringList{"-reverse", "--platform", "wayland"} << toolkits;
        QTest::newRow("-platform without a name") << session << QStringList{"-platform"} << x11;
        QTest::newRow("other options")
            << session << QStringList{"-platformtheme", "gtk3", "-style", "fusion"} << x11;
    }
    void toolkitPlatform() {
        QFETCH(QStringList, environment);
        QFETCH(QStringList, args);
        QFETCH(QByteArray, platform);
        QProcessEnvironment env;
        for (const QString& v : environment)
            env.insert(v.section('=', 0, 0), v.section('=', 1));
        std::vector<QByteArray> storage = {"program"};
        for (const QString& a : args)
            storage.push_back(a.toUtf8());
        std::vector<const char*> argv;
        for (const QByteArray& a : storage)
            argv.push_back(a.constData());
        QCOMPARE(ToolkitPlatform(env, int(argv.size()), argv.data()), platform);
    }

    void dropTypeIsRegisteredFirstAndOnce() {
        DropTypes::Initialize();
        VLQmka::Initialize();
        DropTypes::Initialize();

        const FileType& any = DropTypes::Any();
        QCOMPARE(any.Name, std::string("special/any"));
        QCOMPARE(any.MacType, std::string("????"));
        QCOMPARE(any.MacCreator, std::string("????"));
        QVERIFY(any.Extensions.empty());
        QVERIFY(any.MimeType.empty());
        QVERIFY(any.ConformsTo.empty());
        QVERIFY(any.Imported);
        QCOMPARE(DropTypes::pAllFileTypes().size(), size_t(1));

        const auto registered = RegisteredFileTypes();
        QVERIFY(registered.size() >= 2);
        QCOMPARE(registered[0].Name, std::string("special/any"));
        QCOMPARE(registered[1].Name, VLQmka::QuillProDoc().Name);
    }

    void appCarriesItsVersion() {
        auto app = NewAppInstance();
        QCOMPARE(App::instance(), app.get());
        const VersionData& v = app->version();
        QCOMPARE(v.MajorVersion, 1);
        QCOMPARE(v.MinorVersion, 0);
        QCOMPARE(v.BugVersion, 1);
        QCOMPARE(v.NonReleaseVersion, 29);
        QCOMPARE(v.StageCode, 3);
        QCOMPARE(v.LongVersion, QString("1.0.1"));
        QCOMPARE(v.ShortVersion, QString("1.0.1"));
        QVERIFY(!v.PackageInfo.isEmpty());
        QVERIFY(!v.PackageInfo.contains('\n'));
        QCOMPARE(QCoreApplication::applicationVersion(), QString("1.0.1"));

        QVERIFY(!app->mainWindow());
        app->Event_Open();
        wMain* w = app->mainWindow();
        QVERIFY(w);
        QVERIFY(w->isVisible());
        app->Event_Open();
        QCOMPARE(app->mainWindow(), w);
    }

    void menuEntriesInOrder() {
        MainMenuBar* bar = MainMenuBar::instance();
        const QList<QAction*> menus = bar->actions();
        QCOMPARE(menus.size(), 2);
        QCOMPARE(menus[0]->text(), QString("&File"));
        QCOMPARE(menus[0]->menu(), bar->FileMenu());
        QCOMPARE(menus[1]->text(), QString("&Edit"));
        QCOMPARE(menus[1]->menu(), bar->EditMenu());
        QCOMPARE(bar->FileMenu()->objectName(), QString("FileMenu"));
        QCOMPARE(bar->EditMenu()->objectName(), QString("EditMenu"));

        struct Entry {
            const char* name;
            const char* text;
            const char* shortcut; // null: a separator
        };
        const Entry file[] = {{"FileQuit", "&Quit", "Ctrl+Q"}};
        const Entry edit[] = {
            {"EditUndo", "&Undo", "Ctrl+Z"},   {"EditSeparator1", "-", nullptr},
            {"EditCut", "Cu&t", "Ctrl+X"},     {"EditCopy", "&Copy", "Ctrl+C"},
            {"EditPaste", "&Paste", "Ctrl+V"}, {"EditClear", "&Delete", ""},
            {"EditSeparator2", "-", nullptr},  {"EditSelectAll", "Select &All", "Ctrl+A"},
        };
        auto check = [](QMenu* menu, const Entry* begin, const Entry* end) {
            const QList<QAction*> got = menu->actions();
            QCOMPARE(got.size(), int(end - begin));
            for (int i = 0; begin + i != end; ++i) {
                const Entry& e = begin[i];
                QAction* a = got[i];
                QCOMPARE(a->objectName(), QString(e.name));
                QVERIFY(a->isVisible());
                QVERIFY(a->isEnabled());
                if (!e.shortcut) {
                    QVERIFY(a->isSeparator());
                    continue;
                }
                QVERIFY(!a->isSeparator());
                QCOMPARE(a->text(), QString(e.text));
                QCOMPARE(a->shortcut(), QKeySequence(e.shortcut));
            }
        };
        check(bar->FileMenu(), std::begin(file), std::end(file));
        check(bar->EditMenu(), std::begin(edit), std::end(edit));
        QCOMPARE(bar->entry("FileQuit")->menuRole(), QAction::QuitRole);
    }

    void oneMenuBarForEveryWindow() {
        MainMenuBar* bar = MainMenuBar::instance();
        QCOMPARE(MainMenuBar::instance(), bar);
        {
            wMain w;
            QCOMPARE(w.layout()->menuBar(), bar);
            QCOMPARE(w.FileQuit(), bar->entry("FileQuit"));
            QCOMPARE(w.EditSelectAll(), bar->entry("EditSelectAll"));
            QCOMPARE(w.EditMenu(), bar->EditMenu());
        }
        // The window that showed it has gone; the bar has not, and nothing was rebuilt.
        QCOMPARE(MainMenuBar::instance(), bar);
        QCOMPARE(bar->EditMenu()->actions().size(), 8);
        wMain again;
        QCOMPARE(again.layout()->menuBar(), bar);
    }

    void closeHandlerNeverCancels() {
        wMain w;
        // Part of quitting already: nothing more to do.
        QCOMPARE(w.Event_CancelClose(true), false);
        QVERIFY(!Quitting());
    }

    // Closing the main window quits with 0, also while the error panel is open
    // (so the main window is not the last window).
    void closingTheWindowQuits() {
        wMain w;
        w.addError("Compta.qmx", "Ce document est déjà dans la version Pro 6.2");
        QVERIFY(w.errors);
        QTimer::singleShot(0, &w, [&w] { w.close(); });
        QCOMPARE(runLoop(), 0);
        QVERIFY(!Quitting());
    }

    void fileQuitQuits() {
        wMain w;
        QTimer::singleShot(0, &w, [&w] { w.FileQuit()->trigger(); });
        QCOMPARE(runLoop(), 0);
    }

    // A quit mid-conversion stops the worker at its next pause and still exits at once.
    void quitMidConversionStopsTheWorker() {
        wMain w;
        std::atomic<bool> started{false}, cancelled{false};
        w.state().setFileToConvert(FolderItem("/nowhere/Compta.qmx"));
        w.convertThread()->setBody([&](ConversionDocument&, ConversionHandoff&) {
            started = true;
            try {
                for (;;)
                    Pause(250);
            } catch (const ConversionCancelled&) {
                cancelled = true;
                throw;
            }
        });
        w.convertThread()->Run();
        QTRY_VERIFY_WITH_TIMEOUT(started.load(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(w.convertTimer()->isActive(), 20000);

        QTimer::singleShot(0, &w, [&w] { w.close(); });
        QCOMPARE(runLoop(), 0);
        QVERIFY(!w.convertThread()->isRunning());
        QVERIFY(cancelled.load());
        // The stop is not a failure of the file: nothing is filed for it.
        QVERIFY(w.state().errorMsg().empty());
    }
};

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], kWatchStartup) == 0)
        return watchStartup(argv[0]);
    QApplication app(argc, argv);
    StartupTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_startup.moc"
