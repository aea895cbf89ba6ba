// What a real desktop does to the program's windows, with a window manager
// (with-openbox.sh starts openbox on a 1440 x 877 screen): where the main window
// and the queue panel land, the window manager's close request and Alt+F4 on the
// queue panel in the middle of a batch, a main window minimised during a batch
// that stays so at its end, the queue list's stripes on the screen, the error
// panel's rows while it is active, who has the keyboard when it opens
// beside another program (other-program) and after its message box, the keys
// that move in its list with no current row, and Ctrl+Q typed while the error
// panel has the focus. Without a window manager these tests are skipped.
//
// With QMK_SCREENSHOT_DIR set, the screen is saved at the moments worth looking at.
#include "BatchProbe.h"
#include "Recorder.h"
#include "SecondProgram.h"
#include "X11Desktop.h"

#include "app/App.h"
#include "app/ConvertThread.h"
#include "app/MainMenuBar.h"
#include "app/Resources.h"

#include <QAbstractButton>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <optional>

using namespace qmk;
using namespace qmk::test;

namespace {

constexpr int kBatchTimeoutMs = 120000;
const QString kPro = "Ce document est déjà dans la version Pro 6.2";
const QString kUnknown = "Fichier de type inconnu (v. 18245)";

// The rows of a list that are selected, by number.
QList<int> selectedRows(const QTreeWidget* list) {
    QList<int> rows;
    for (QTreeWidgetItem* item : list->selectedItems())
        rows << list->indexOfTopLevelItem(item);
    return rows;
}

QRect contentOnScreen(const wMain& w) {
    return QRect(w.content()->mapToGlobal(QPoint(0, 0)), w.content()->size());
}

// Where the open queue panel belongs: against the main window's right edge, from
// the top of its content area, 2 pixels shorter than it.
QRect panelPlace(const wMain& w) {
    const QRect content = contentOnScreen(w);
    return QRect(w.frameGeometry().right() + 1, content.top(), 220, content.height() - 2);
}

// Counts the close requests that reach a window.
class CloseCounter : public QObject {
  public:
    int count = 0;

  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Close)
            ++count;
        return false;
    }
};

void shoot(const QString& name) {
    const QString dir = qEnvironmentVariable("QMK_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    QTest::qWait(300); // only when pictures are asked for: let the last paint land
    QVERIFY(QGuiApplication::primaryScreen()->grabWindow(0).save(dir + "/" + name + ".png"));
}

// Runs the event loop until something ends it; a loop nobody ends gives 99.
int runLoop() {
    QTimer::singleShot(20000, [] { QCoreApplication::exit(99); });
    return QApplication::exec();
}

// The program the user works in beside this one (other-program), and what it has
// said so far.
class OtherProgram : public SecondProgram {
  public:
    OtherProgram() : SecondProgram(QMK_OTHER_PROGRAM) {}

    // Whether it holds the keyboard, as it last said.
    bool active() const {
        for (auto it = lines().rbegin(); it != lines().rend(); ++it)
            if (*it == "active" || *it == "inactive")
                return *it == "active";
        return false;
    }
    // The middle of its window, once it is on the screen.
    std::optional<QPoint> middle() const {
        const std::optional<QRect> at = place();
        return at ? std::optional<QPoint>(at->center()) : std::nullopt;
    }
};

// Holds each conversion of the main window's worker until the test lets it go, so
// that the user can turn to another program while a file is being converted.
class HeldConversions {
  public:
    explicit HeldConversions(wMain& w) {
        w.convertThread()->setPauseDivisor(10);
        w.convertThread()->setBody([go = go_](ConversionDocument& d, ConversionHandoff& h) {
            // A worker stopped for quitting ends here, as at any of its pauses.
            while (!go->tryAcquire(1, 20))
                YieldNow();
            conversion(d, h);
        });
    }
    ~HeldConversions() { go_->release(1000); }

    void letGo(int files = 1) { go_->release(files); }

  private:
    std::shared_ptr<QSemaphore> go_ = std::make_shared<QSemaphore>();
};

} // namespace

class DesktopTest : public QObject {
    Q_OBJECT

    std::unique_ptr<x11::Desktop> desktop_;
    QTemporaryDir dir_;
    int n_ = 0;

    QStringList makeFiles(const QStringList& names) {
        const QString folder = dir_.filePath(QString("case-%1").arg(++n_));
        QDir().mkpath(folder);
        QStringList paths;
        for (const QString& n : names) {
            paths << folder + "/" + n;
            writeFile(paths.last(), v32Image(n.toStdString()));
        }
        return paths;
    }

    // The user clicks into the main window (where nothing reacts to a click) and
    // works there.
    bool turnTo(wMain& w) {
        const QPoint at = w.content()->mapToGlobal(QPoint(20, 20));
        return desktop_->click(at.x(), at.y()) &&
               QTest::qWaitFor([&] { return QApplication::activeWindow() == &w; }, 10000);
    }
    // The user clicks into the other program and works there.
    bool turnTo(const OtherProgram& other) {
        if (!QTest::qWaitFor([&] { return other.middle().has_value(); }, 20000))
            return false;
        const QPoint at = *other.middle();
        return desktop_->click(at.x(), at.y()) &&
               QTest::qWaitFor([&] { return other.active() && !QApplication::activeWindow(); },
                               10000);
    }

  private slots:
    void initTestCase() {
        const char* whyNot = nullptr;
        desktop_ = x11::managedDesktop(whyNot);
        if (!desktop_)
            QSKIP(whyNot);
        QVERIFY(dir_.isValid());
        SetResourcesFolder(QMK_RESOURCES_DIR);
    }

    void mainWindowPlacedOnTheScreen() {
        const QScreen* screen = QGuiApplication::primaryScreen();
        QCOMPARE(screen->availableGeometry(), QRect(0, 0, 1440, 877));
        wMain w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // (1440 - 388) / 2 across, (877 - 234) / 3 down, for the 388 x 234 window.
        QTRY_COMPARE_WITH_TIMEOUT(contentOnScreen(w).topLeft(), QPoint(526, 214), 10000);
        QVERIFY(screen->geometry().contains(w.frameGeometry()));
    }

    // The first batch of a run, named on the command line, starts before the window
    // manager has framed the main window; a later one by a drop on a settled window.
    void queuePanelAgainstTheMainWindow() {
        const QStringList files = makeFiles({"Premier.qmk3", "Second.qmk3"});
        auto app = NewAppInstance();
        app->openAtStart({QFile::encodeName(files[0])});
        QTRY_VERIFY_WITH_TIMEOUT(app->mainWindow() && app->mainWindow()->queue, 20000);
        wMain& w = *app->mainWindow();
        BatchProbe probe(w);

        for (const char* road : {"command-line", "drop"}) {
            if (QString(road) == "drop")
                QVERIFY(dropOn(w, {files[1]}));
            QPointer<wQueue> panel = w.queue.data();
            QVERIFY(panel);
            // Open: the first conversion has started.
            QTRY_VERIFY_WITH_TIMEOUT(w.ccConvert()->isVisibleTo(w.content()), 20000);
            QRect seen; // where the panel was last seen, also once it has gone
            QTRY_COMPARE_WITH_TIMEOUT(panel ? (seen = panel->frameGeometry()) : seen, panelPlace(w),
                                      10000);
            QVERIFY(panel);
            QCOMPARE(panel->geometry(), panel->frameGeometry()); // no frame of its own
            shoot(QString("queue-panel-%1").arg(road));
            QTRY_VERIFY_WITH_TIMEOUT(probe.idle(), kBatchTimeoutMs);
        }
        QCOMPARE(probe.started(), QStringList({"Premier.qmk3", "Second.qmk3"}));
    }

    // A batch that refuses a file opens both panels at once: the error panel against
    // the main window's left edge, the queue panel against its right edge, both
    // from the top of its content, neither over it. On a small screen (the run
    // with QMK_SCREEN_SIZE=1024x768) the error panel reaches past the screen's
    // left edge rather than being pulled over the main window.
    void panelsBesideTheMainWindow() {
        const QStringList files = makeFiles({"Notes.txt", "Un.qmk3", "Deux.qmk3"});
        QVERIFY(writeFile(files[0], "Pas un document"));
        wMain w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_VERIFY_WITH_TIMEOUT(w.frameGeometry() != w.geometry(), 10000); // framed
        BatchProbe probe(w);
        QVERIFY(dropOn(w, files));
        QPointer<wQueue> queue = w.queue.data();
        QVERIFY(queue);
        QTRY_VERIFY_WITH_TIMEOUT(w.errors, 20000);
        QPointer<wErrors> errors = w.errors.data();
        QVERIFY(QTest::qWaitForWindowExposed(errors));

        const QRect main = w.frameGeometry();
        const QRect errorsAt(main.left() - wErrors::kWidth, contentOnScreen(w).top(),
                             wErrors::kWidth, wErrors::kHeight);
        QTRY_COMPARE_WITH_TIMEOUT(errors->frameGeometry(), errorsAt, 10000);
        QRect seen;
        QTRY_COMPARE_WITH_TIMEOUT(queue ? (seen = queue->frameGeometry()) : seen, panelPlace(w),
                                  10000);
        QCOMPARE(errors->frameGeometry().top(), seen.top());
        QVERIFY(!errors->frameGeometry().intersects(main));
        QVERIFY(!seen.intersects(main));
        if (QGuiApplication::primaryScreen()->geometry() == QRect(0, 0, 1024, 768)) {
            // The window centred on this screen: its frame's left edge at 317.
            QCOMPARE(main.left(), 317);
            QCOMPARE(errors->frameGeometry().left(), -105);
            QCOMPARE(errors->frameGeometry().right(), 316);
        }
        shoot("panels-beside-the-main-window");
        QTRY_VERIFY_WITH_TIMEOUT(probe.idle(), kBatchTimeoutMs);
        QCOMPARE(probe.errorRows().size(), 1);
        errors->close();
    }

    // Mid-batch the panel refuses to close, whoever asks: the batch goes on and
    // every queued file is converted.
    void windowManagerCannotCloseTheQueuePanel_data() {
        QTest::addColumn<bool>("altF4");
        QTest::newRow("close request") << false;
        QTest::newRow("Alt+F4") << true;
    }
    void windowManagerCannotCloseTheQueuePanel() {
        QFETCH(bool, altF4);
        const QStringList names = {"Un.qmk3", "Deux.qmk3", "Trois.qmk3"};
        const QStringList files = makeFiles(names);
        wMain w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        BatchProbe probe(w);
        QVERIFY(dropOn(w, files));
        QPointer<wQueue> panel = w.queue.data();
        QVERIFY(panel);
        CloseCounter closes;
        panel->installEventFilter(&closes);
        QVERIFY(QTest::qWaitForWindowExposed(panel));
        // The first file is being read.
        QTRY_VERIFY_WITH_TIMEOUT(
            w.ccConvert()->isVisibleTo(w.content()) && !w.state().converted.load(), 20000);

        if (altF4) {
            desktop_->requestActivate(uint32_t(panel->winId()));
            QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), panel.data(), 10000);
            QVERIFY(desktop_->pressKeys({x11::kAlt_L, x11::kF4}));
        } else {
            desktop_->requestClose(uint32_t(panel->winId()));
        }
        QTRY_VERIFY_WITH_TIMEOUT(closes.count >= 1, 10000);
        QVERIFY(panel);
        QVERIFY(panel->isVisible());
        QCOMPARE(w.queue.data(), panel.data());

        QTRY_VERIFY_WITH_TIMEOUT(probe.idle(), kBatchTimeoutMs);
        QCOMPARE(probe.started(), names);
        for (const QString& f : files)
            QVERIFY2(QFileInfo::exists(QString(f).replace(".qmk3", ".qmkp")), qPrintable(f));
        QVERIFY(probe.errorRows().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!panel, 20000); // its own slide-in closed it
    }

    // Nothing is selected in the error panel until the user picks a row: when the
    // panel opens active, with the focus in its list, its first row looks like the
    // other filled rows (no highlight, no outline). A click then selects a row; one
    // below the last row picks none again, and no row is drawn as picked.
    void errorPanelShowsNoRowAsCurrentUntilOneIsClicked() {
        wMain w;
        QVERIFY(QTest::qWaitForWindowActive(&w));
        // Rows 0 and 2 hold the same texts, so only a look of their own tells them apart.
        for (const char* name : {"Compta.qmkp", "Notes.txt", "Compta.qmkp"})
            w.addError(name, "Ce document est déjà dans la version Pro 6.2");
        QPointer<wErrors> panel = w.errors.data();
        QTreeWidget* list = panel->lbErrors();
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), panel.data(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(list->hasFocus(), 10000);
        auto row = [list](int i) {
            return list->viewport()->grab().toImage().copy(
                list->visualItemRect(list->topLevelItem(i)));
        };
        QVERIFY(list->selectedItems().isEmpty());
        QCOMPARE(row(0), row(2));
        const QImage unselected = row(1);

        const QPoint at =
            list->viewport()->mapToGlobal(list->visualItemRect(list->topLevelItem(1)).center());
        QVERIFY(desktop_->click(at.x(), at.y()));
        QTRY_COMPARE_WITH_TIMEOUT(list->selectedItems(),
                                  QList<QTreeWidgetItem*>({list->topLevelItem(1)}), 10000);
        QVERIFY(row(1) != unselected);
        QCOMPARE(row(0), row(2));

        const QRect last = list->visualItemRect(list->topLevelItem(2));
        QVERIFY(last.bottom() + last.height() < list->viewport()->height());
        const QPoint below = list->viewport()->mapToGlobal(
            QPoint(last.center().x(), last.bottom() + last.height() / 2));
        QVERIFY(desktop_->click(below.x(), below.y()));
        QTRY_VERIFY_WITH_TIMEOUT(list->selectedItems().isEmpty(), 10000);
        QVERIFY(list->hasFocus());
        QTRY_COMPARE_WITH_TIMEOUT(row(1), unselected, 10000);
        QCOMPARE(row(0), row(2));
        QVERIFY(!list->currentIndex().isValid());
    }

    // Worth looking at: the Edit menu, and a selected error row.
    void editMenuAndSelectedErrorRow() {
        if (qEnvironmentVariable("QMK_SCREENSHOT_DIR").isEmpty())
            QSKIP("QMK_SCREENSHOT_DIR not set");
        wMain w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        MainMenuBar* bar = MainMenuBar::instance();
        QTest::mouseClick(bar, Qt::LeftButton, {},
                          bar->actionGeometry(bar->EditMenu()->menuAction()).center());
        QTRY_VERIFY_WITH_TIMEOUT(bar->EditMenu()->isVisible(), 10000);
        shoot("edit-menu");
        bar->EditMenu()->close();

        w.addError("Compta 2014.qmkp", "Ce document est déjà dans la version Pro 6.2");
        w.addError("Notes.txt", "Fichier de type inconnu (v. 18245)");
        QTreeWidget* list = w.errors->lbErrors();
        QVERIFY(QTest::qWaitForWindowExposed(w.errors.data()));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->topLevelItem(0)).center());
        QTRY_VERIFY_WITH_TIMEOUT(list->topLevelItem(0)->isSelected(), 10000);
        shoot("error-row-selected");
    }

    // The program itself, minimised through the window manager: a later launch
    // that hands it a document brings its window back, normal and active, and the
    // batch runs in view. Its frame offers no maximise.
    void launchBringsBackTheMinimisedWindow() {
        QTemporaryDir base;
        QVERIFY(base.isValid());
        const QString runtime = base.filePath("runtime"), folder = base.filePath("documents");
        QVERIFY(QDir().mkpath(base.filePath("home")) && QDir().mkpath(folder));
        QVERIFY(QDir().mkdir(runtime));
        QVERIFY(
            QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(writeFile(folder + "/Later.qmk3", v32Image()));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("HOME", base.filePath("home"));
        env.insert("XDG_RUNTIME_DIR", runtime);
        env.remove("XDG_CACHE_HOME");
        QVERIFY(QDir().mkpath(base.filePath("bin")));
        QVERIFY(!writeRecorder(base.filePath("bin"), "xdg-open").isEmpty());
        keepFromFileManager(env, base.filePath("bin"));
        auto launch = [&](QProcess& p, const QStringList& args) {
            p.setProcessEnvironment(env);
            p.setWorkingDirectory(folder);
            p.setProcessChannelMode(QProcess::ForwardedChannels);
            p.start(QMK_PROGRAM, args);
        };

        QProcess running;
        launch(running, {});
        QVERIFY(running.waitForStarted(20000));
        auto quit = qScopeGuard([&] {
            running.terminate();
            running.waitForFinished(20000);
        });
        uint32_t window = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            (window = desktop_->windowOf(uint32_t(running.processId()), "Quillmark Pro Converter")),
            30000);
        QTRY_VERIFY_WITH_TIMEOUT(desktop_->shownNormally(window), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(runtime + "/quillmark-pro-converter.socket"),
                                 30000);
        for (const char* action : {"_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_MAXIMIZE_VERT"})
            QVERIFY2(!desktop_->hasAtom(window, "_NET_WM_ALLOWED_ACTIONS", action), action);

        desktop_->requestMinimise(window);
        QTRY_VERIFY_WITH_TIMEOUT(desktop_->hasAtom(window, "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN"),
                                 20000);
        QVERIFY(!desktop_->shownNormally(window));

        QProcess later;
        launch(later, {"Later.qmk3"});
        QVERIFY(later.waitForFinished(30000));
        QCOMPARE(later.exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(desktop_->shownNormally(window), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(desktop_->activeWindow(), window, 20000);
        shoot("launch-brings-back-the-window");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(folder + "/Later.qmkp"), kBatchTimeoutMs);
        QCOMPARE(running.state(), QProcess::Running);
    }

    // Minimised through the window manager during the first of three documents, the
    // main window stays minimised once the batch has ended: the queue panel's slide-in
    // and close, the error panel beside it (open from before, or opened by a refusal
    // meanwhile) and the reveal of the last document leave it where the user put it.
    void minimisedWindowStaysMinimisedAtTheBatchEnd_data() {
        QTest::addColumn<QString>("errorPanel");
        QTest::newRow("no error panel") << "none";
        QTest::newRow("error panel open") << "open";
        QTest::newRow("refusal while minimised") << "refusal";
    }
    void minimisedWindowStaysMinimisedAtTheBatchEnd() {
        QFETCH(QString, errorPanel);
        const QStringList files = makeFiles({"Un.qmk3", "Notes.qmk3", "Trois.qmk3"});
        if (errorPanel == "refusal")
            QVERIFY(writeFile(files[1], "Pas un document"));
        wMain w;
        BatchProbe probe(w);
        HeldConversions held(w);
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        if (errorPanel == "open") {
            w.addError("Compta.qmkp", kPro);
            QVERIFY(QTest::qWaitForWindowExposed(w.errors.data()));
        }
        QVERIFY(dropOn(w, files));
        QPointer<wQueue> panel = w.queue.data();
        QVERIFY(panel);
        // The first document is being converted, held there.
        QTRY_VERIFY_WITH_TIMEOUT(w.ccConvert()->isVisibleTo(w.content()), 20000);
        QVERIFY(QTest::qWaitForWindowExposed(panel));

        const uint32_t window = uint32_t(w.winId());
        desktop_->requestMinimise(window);
        QTRY_COMPARE_WITH_TIMEOUT(desktop_->wmState(window), x11::Desktop::kIconicState, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(w.isMinimized(), 10000);

        held.letGo(files.size());
        QTRY_VERIFY_WITH_TIMEOUT(probe.idle(), kBatchTimeoutMs);
        QCOMPARE(probe.reveals, QStringList({QString(files.last()).replace(".qmk3", ".qmkp")}));
        QCOMPARE(bool(w.errors), errorPanel != "none");
        QTRY_VERIFY_WITH_TIMEOUT(!panel, 20000); // its slide-in has ended
        QVERIFY(desktop_->windowManagerCaughtUp());
        // Nothing more is to come: a window brought back would be so within moments.
        QVERIFY2(!QTest::qWaitFor(
                     [&] { return desktop_->wmState(window) != x11::Desktop::kIconicState; }, 2000),
                 "the main window was brought back");
        QVERIFY(w.isMinimized());
        if (w.errors)
            w.errors->close();
    }

    // A refusal that comes while the user works in another program opens the panel
    // without the keyboard: the Return they type next goes on to that program, and
    // the panel stays. While they work in this program, the panel takes the
    // keyboard, and Return closes it.
    void errorPanelTakesTheFocusOnlyFromItsOwnProgram_data() {
        QTest::addColumn<bool>("elsewhere");
        QTest::newRow("user in this program") << false;
        QTest::newRow("user in another program") << true;
    }
    void errorPanelTakesTheFocusOnlyFromItsOwnProgram() {
        QFETCH(bool, elsewhere);
        const QStringList files = makeFiles({"Notes.txt"});
        QVERIFY(writeFile(files[0], "Pas un document"));
        OtherProgram other;
        wMain w;
        BatchProbe probe(w);
        HeldConversions held(w);
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // The other program is on the screen; it may have taken the keyboard as it opened.
        QTRY_VERIFY_WITH_TIMEOUT(other.middle(), 20000);
        uint32_t otherWindow = 0;
        QTRY_VERIFY_WITH_TIMEOUT((otherWindow = desktop_->windowOf(other.pid(), "other-program")),
                                 20000);
        QVERIFY(turnTo(w));
        QVERIFY(dropOn(w, files));
        // The batch runs: its file is being converted.
        QTRY_VERIFY_WITH_TIMEOUT(w.ccConvert()->isVisibleTo(w.content()), 20000);
        if (elsewhere)
            QVERIFY(turnTo(other));

        held.letGo();
        QTRY_VERIFY_WITH_TIMEOUT(w.errors, 20000);
        QPointer<wErrors> panel = w.errors.data();
        QVERIFY(QTest::qWaitForWindowExposed(panel));
        // What the panel asked of the window manager as it opened has been done.
        QVERIFY(desktop_->windowManagerCaughtUp());
        QTRY_COMPARE_WITH_TIMEOUT(desktop_->activeWindow(),
                                  elsewhere ? otherWindow : uint32_t(panel->winId()), 10000);
        QVERIFY(desktop_->pressKeys({x11::kReturn}));
        if (elsewhere) {
            QTRY_VERIFY_WITH_TIMEOUT(other.said("key Return"), 10000);
            QVERIFY(panel && panel->isVisible());
            QCOMPARE(w.errors.data(), panel.data());
            QCOMPARE(QApplication::activeWindow(), nullptr);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(!w.errors, 10000);
            QVERIFY(!other.said("key Return"));
        }
        QTRY_VERIFY_WITH_TIMEOUT(probe.idle(), kBatchTimeoutMs);
    }

    // However a row's message box ends, by its button, a key, or the window manager
    // closing it (Alt+F4, a taskbar's close request), the keyboard is back in the panel,
    // its row still selected, so Escape closes the panel; whether the user came to the
    // panel from the main window or from another program.
    void messageBoxGivesTheKeyboardBackToThePanel_data() {
        QTest::addColumn<bool>("fromOther");
        QTest::addColumn<QString>("end");
        QTest::newRow("from the main window, Return") << false << "Return";
        QTest::newRow("from the main window, OK clicked") << false << "OK clicked";
        QTest::newRow("from the main window, Escape") << false << "Escape";
        QTest::newRow("from the main window, Alt+F4") << false << "Alt+F4";
        QTest::newRow("from the main window, close request") << false << "close request";
        QTest::newRow("from another program, Return") << true << "Return";
        QTest::newRow("from another program, close request") << true << "close request";
    }
    void messageBoxGivesTheKeyboardBackToThePanel() {
        QFETCH(bool, fromOther);
        QFETCH(QString, end);
        OtherProgram other;
        wMain w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // The other program is on the screen; it may have taken the keyboard as it opened.
        QTRY_VERIFY_WITH_TIMEOUT(other.middle(), 20000);
        QVERIFY(turnTo(w));
        if (fromOther)
            QVERIFY(turnTo(other));
        w.addError("Compta.qmkp", kPro);
        w.addError("Notes.txt", kUnknown);
        QPointer<wErrors> panel = w.errors.data();
        QVERIFY(QTest::qWaitForWindowExposed(panel));
        QTreeWidget* list = panel->lbErrors();

        // The box runs its own event loop: it is ended from there, once it holds the
        // keyboard (or rejected after a long while, so that a box that never gets the
        // keyboard fails the test rather than hanging it).
        QString shown;
        bool sent = false;
        QTimer dismiss;
        const QDeadlineTimer giveUp(60000);
        connect(&dismiss, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !shown.isEmpty())
                return;
            if (QApplication::activeWindow() == box) {
                shown = box->text();
                if (end == "OK clicked") {
                    const QAbstractButton* ok = box->button(QMessageBox::Ok);
                    const QPoint at = ok->mapToGlobal(ok->rect().center());
                    sent = desktop_->click(at.x(), at.y());
                } else if (end == "close request") {
                    desktop_->requestClose(uint32_t(box->winId()));
                    sent = true;
                } else if (end == "Alt+F4") {
                    sent = desktop_->pressKeys({x11::kAlt_L, x11::kF4});
                } else {
                    sent = desktop_->pressKeys({end == "Escape" ? x11::kEscape : x11::kReturn});
                }
            } else if (giveUp.hasExpired()) {
                box->reject();
            }
        });
        dismiss.start(20);
        const QPoint row =
            list->viewport()->mapToGlobal(list->visualItemRect(list->topLevelItem(1)).center());
        QVERIFY(desktop_->click(row.x(), row.y(), 2));
        QTRY_COMPARE_WITH_TIMEOUT(shown, kUnknown, 30000);
        QVERIFY(sent);
        QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget(), 10000);

        QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), panel.data(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(desktop_->activeWindow(), uint32_t(panel->winId()), 10000);
        QCOMPARE(selectedRows(list), QList<int>({1}));
        QVERIFY(desktop_->pressKeys({x11::kEscape}));
        QTRY_VERIFY_WITH_TIMEOUT(!w.errors, 10000);
        QVERIFY(!other.said("key Esc"));
    }

    // With no current row, the first key goes where it says: End to the last row,
    // Page Down to the first row that the list did not wholly show, Down to the first
    // row. Until then no row is picked.
    void keysWithoutACurrentRow_data() {
        QTest::addColumn<uint32_t>("key");
        QTest::addColumn<QString>("reaches");
        QTest::newRow("End") << x11::kEnd << "the last row";
        QTest::newRow("Page Down") << x11::kPage_Down << "a page down";
        QTest::newRow("Down") << x11::kDown << "the first row";
    }
    void keysWithoutACurrentRow() {
        QFETCH(uint32_t, key);
        QFETCH(QString, reaches);
        wMain w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(turnTo(w));
        constexpr int rows = 20; // more than a page
        for (int i = 1; i <= rows; ++i)
            w.addError(QString("Compta %1.qmkp").arg(i), kPro);
        QPointer<wErrors> panel = w.errors.data();
        QTreeWidget* list = panel->lbErrors();
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), panel.data(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(list->hasFocus(), 10000);
        QVERIFY(list->selectedItems().isEmpty());

        int expected = 0;
        if (reaches == "the last row") {
            expected = rows - 1;
        } else if (reaches == "a page down") {
            while (list->visualItemRect(list->topLevelItem(expected)).bottom() <
                   list->viewport()->height())
                ++expected;
            QVERIFY(expected > 1 && expected < rows - 1);
        }
        QVERIFY(desktop_->pressKeys({key}));
        QTRY_COMPARE_WITH_TIMEOUT(selectedRows(list), QList<int>({expected}), 10000);
        QCOMPARE(list->indexOfTopLevelItem(list->currentItem()), expected);
    }

    // The queue list takes no input, yet on the screen its rows are striped as in a
    // list that does: the odd rows on the list's normal background, the even ones
    // #EFEEFF, also below the last name.
    void queueListStripedOnTheScreen() {
        const QStringList files = makeFiles({"Un.qmk3", "Deux.qmk3", "Trois.qmk3"});
        wMain w;
        BatchProbe probe(w);
        HeldConversions held(w);
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(dropOn(w, files));
        QPointer<wQueue> panel = w.queue.data();
        QVERIFY(panel);
        QTRY_VERIFY_WITH_TIMEOUT(w.ccConvert()->isVisibleTo(w.content()), 20000); // open
        QVERIFY(QTest::qWaitForWindowExposed(panel));
        QTreeWidget* list = panel->lbQueue();
        QVERIFY(!list->isEnabled());

        auto backgrounds = [list] {
            const QRect first = list->visualItemRect(list->topLevelItem(0));
            const QPoint at = list->viewport()->mapToGlobal(first.topLeft());
            const QImage screen =
                QGuiApplication::primaryScreen()
                    ->grabWindow(0, at.x(), at.y(), first.width(), 5 * first.height())
                    .toImage();
            QList<QColor> colours;
            for (int row = 0; row < 5; ++row) // right of the short names: background only
                colours << screen.pixelColor(first.width() - 4,
                                             row * first.height() + first.height() / 2);
            return colours;
        };
        const QColor even = wQueue::evenRowColor();
        const QColor odd = QApplication::palette(list).color(QPalette::Active, QPalette::Base);
        QTRY_COMPARE_WITH_TIMEOUT(backgrounds(), QList<QColor>({even, odd, even, odd, even}),
                                  10000);
        shoot("queue-list-stripes");
        held.letGo(files.size());
        QTRY_VERIFY_WITH_TIMEOUT(probe.idle(), kBatchTimeoutMs);
    }

    // Last: it quits the event loop. Opened from the active main window, the error
    // panel takes the focus; Ctrl+Q typed then quits all the same.
    void ctrlQWhileTheErrorPanelHasTheFocus() {
        wMain w;
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.addError("Compta.qmkp", "Ce document est déjà dans la version Pro 6.2");
        QPointer<wErrors> panel = w.errors.data();
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), panel.data(), 10000);
        bool typed = false;
        QTimer::singleShot(0, this, [&] {
            typed = desktop_->pressKeys({x11::kControl_L, x11::kq});
        });
        QCOMPARE(runLoop(), 0);
        QVERIFY(typed);
    }
};

QTEST_MAIN(DesktopTest)
#include "tst_desktop.moc"
