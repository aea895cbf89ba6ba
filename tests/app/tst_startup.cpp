// Start-up order, version data, the one menu bar, and quitting (also mid-conversion).
#include "app/App.h"
#include "app/ConvertThread.h"
#include "app/DropTypes.h"
#include "app/MainMenuBar.h"
#include "app/Resources.h"
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
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <atomic>

using namespace qmk;

class StartupTest : public QObject {
    Q_OBJECT

    // Runs the event loop until something ends it; a loop nobody ends gives 99.
    static int runLoop() {
        QTimer::singleShot(30000, [] { QCoreApplication::exit(99); });
        return QApplication::exec();
    }

  private slots:
    void initTestCase() { SetResourcesFolder(QMK_RESOURCES_DIR); }

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

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
