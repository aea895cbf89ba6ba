// The batch driver on a real worker thread: files converted one after the other
// behind the queue panel, the status hand-off every 100 ms, refusals and worker
// failures filed as error rows, the end of the batch and its one reveal.
#include "BatchProbe.h"

#include "app/App.h"
#include "app/ConvertThread.h"
#include "app/Resources.h"
#include "app/wMain.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QMimeData>
#include <QPointer>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>
#include <QWindow>
#include <QtTest>

using namespace qmk;
using namespace qmk::test;

namespace {

constexpr int kBatchTimeoutMs = 120000;

QStringList texts(const std::vector<Shown>& run) {
    QStringList t;
    for (const Shown& s : run)
        if (t.isEmpty() || t.last() != s.text)
            t << s.text;
    return t;
}

QStringList titles(const std::vector<Shown>& run) {
    QStringList t;
    for (const Shown& s : run)
        if (t.isEmpty() || t.last() != s.title)
            t << s.title;
    return t;
}

// A close request as the window system delivers it: to the panel's window.
bool requestClose(QWidget* window) {
    QCloseEvent close;
    QCoreApplication::sendEvent(window->windowHandle(), &close);
    return close.isAccepted();
}

} // namespace

class BatchTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString folder_;
    int n_ = 0;

    QString path(const QString& name) const { return folder_ + "/" + name; }
    QString make(const QString& name, const std::string& bytes) {
        const QString p = path(name);
        return writeFile(p, bytes) ? p : QString();
    }

  private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        SetResourcesFolder(QMK_RESOURCES_DIR);
    }
    // A fresh folder per test, so names never collide.
    void init() {
        folder_ = dir_.filePath(QString("case-%1").arg(++n_));
        QVERIFY(QDir().mkpath(folder_));
    }

    // Three dropped files with the real pauses: Plus / X, Pro (refused), 3.2.
    void batchOfThreeDroppedFiles() {
        const QStringList sources = {make("Compta.qmkx", plusXImage()),
                                     make("Déjà Pro.qmkp", proImage()),
                                     make("Ancien.qmk3", v32Image())};
        QDir(folder_).mkdir("headless");
        QStringList copies;
        for (const QString& s : sources) {
            copies << folder_ + "/headless/" + QFileInfo(s).fileName();
            QVERIFY(QFile::copy(s, copies.last()));
        }
        convertHeadless(copies);

        wMain w;
        BatchProbe probe(w);
        dropOn(w, sources);
        QPointer<wQueue> panel = w.queue.data();
        QVERIFY(panel);
        QCOMPARE(probe.queueRows(), QStringList({"Compta.qmkx", "Déjà Pro.qmkp", "Ancien.qmk3"}));
        QCOMPARE(qs(w.state().fileToConvert()->Name()), QString("Compta.qmkx"));
        QVERIFY(w.ccDropFile()->isVisibleTo(w.content())); // sliding out, not yet converting

        QTRY_VERIFY_WITH_TIMEOUT(probe.idle(), kBatchTimeoutMs);

        // Nothing was shown before the slide-out had reached 220.
        QVERIFY(!probe.shown.empty());
        QCOMPARE(probe.shown.front().text, qs(Globals::kStatusInit()));
        QCOMPARE(probe.shown.front().queueWidth, 220);

        const auto runs = probe.perFile();
        QCOMPARE(probe.started(), QStringList({"Compta.qmkx", "Déjà Pro.qmkp", "Ancien.qmk3"}));
        const QString app = Globals::kAppTitle;
        const QString converted = qs(Globals::kConverted());
        // Each run starts with the initial status and a convertible file's run ends
        // with the converted text under the program's title, before the next starts.
        const QStringList plusX = {qs(Globals::kStatusInit()),       qs(Globals::kStatusHeader()),
                                   qs(Globals::kStatusCurrencies()), qs(Globals::kStatusAccess()),
                                   qs(Globals::kStatusAccounts()),   qs(Globals::kStatusEcr()),
                                   qs(Globals::kStatusSave()),       converted};
        const QStringList v32 = {qs(Globals::kStatusInit()), qs(Globals::kStatusHeader()),
                                 qs(Globals::kStatusCurrencies()), qs(Globals::kStatusSave()),
                                 converted};
        QVERIFY2(inOrderWithin(texts(runs[0]), plusX), qPrintable(texts(runs[0]).join(" / ")));
        QCOMPARE(texts(runs[0]).last(), converted);
        QCOMPARE(titles(runs[0]),
                 QStringList({app, "Conversion depuis Quillmark Plus / Quillmark X", app}));
        QCOMPARE(texts(runs[1]), QStringList({qs(Globals::kStatusInit())}));
        QCOMPARE(titles(runs[1]), QStringList({app}));
        QVERIFY2(inOrderWithin(texts(runs[2]), v32), qPrintable(texts(runs[2]).join(" / ")));
        QCOMPARE(texts(runs[2]).last(), converted);
        QCOMPARE(titles(runs[2]), QStringList({app, "Conversion depuis Quillmark 3.2", app}));
        // With real pauses (250 ms at least) the 100 ms hand-off shows the phases; a
        // machine that stalls the interface may let one or two go by, not most.
        QVERIFY2(texts(runs[0]).size() >= plusX.size() - 2, qPrintable(texts(runs[0]).join(" / ")));

        QCOMPARE(probe.errorRows(), QStringList({"Déjà Pro.qmkp | " + qs(Globals::kVersionPro())}));
        for (const char* name : {"Compta.qmkp", "Ancien.qmkp"})
            QCOMPARE(readFile(path(name)), readFile(folder_ + "/headless/" + name));
        QVERIFY(!readFile(path("Ancien.qmkp")).isEmpty());
        QCOMPARE(namesIn(folder_), QStringList({"Ancien.qmk3", "Ancien.qmkp", "Compta.qmkp",
                                                "Compta.qmkx", "Déjà Pro.qmkp", "headless"}));
        QCOMPARE(probe.reveals, QStringList({path("Ancien.qmkp")}));

        QVERIFY(!w.state().fileToConvert());
        QVERIFY(!w.queue);
        QTRY_VERIFY_WITH_TIMEOUT(!panel, 20000); // slid in, closed and gone
        QCOMPARE(w.windowTitle(), app);
    }

    // Files that join a running batch go behind it; the panel and the current file stay.
    void joiningByDropAndByTheOpenDialog() {
        const QString a = make("A.qmk3", v32Image("A")), b = make("B.qmk3", v32Image("B")),
                      c = make("C.qmk3", v32Image("C")), d = make("D.qmk3", v32Image("D"));
        wMain w;
        w.convertThread()->setPauseDivisor(5);
        BatchProbe probe(w);
        Globals::lastOpenFolder = FolderItem(QDir::homePath().toStdString());

        probe.dialogAnswers = {{a}, {c}};
        w.ccDropFile_MouseDown(10, 10);
        QPointer<wQueue> panel = w.queue.data();
        QVERIFY(panel);
        // During the slide-out the drop box is still there: a second choice joins.
        QVERIFY(w.ccDropFile()->isVisibleTo(w.content()));
        w.ccDropFile_MouseDown(10, 10);
        QCOMPARE(w.queue.data(), panel.data());
        QCOMPARE(probe.queueRows(), QStringList({"A.qmk3", "C.qmk3"}));

        // While A converts, a drop adds two more at the end.
        QTRY_VERIFY_WITH_TIMEOUT(w.ccConvert()->isVisibleTo(w.content()), 20000);
        const QString current = qs(w.state().fileToConvert()->Name());
        dropOn(w, {b, d});
        QCOMPARE(w.queue.data(), panel.data());
        QCOMPARE(qs(w.state().fileToConvert()->Name()), current);
        const QStringList rows = probe.queueRows();
        QCOMPARE(rows.first(), current);
        QCOMPARE(rows.mid(rows.size() - 2), QStringList({"B.qmk3", "D.qmk3"}));

        QTRY_VERIFY_WITH_TIMEOUT(probe.idle(), kBatchTimeoutMs);
        QCOMPARE(probe.started(), QStringList({"A.qmk3", "C.qmk3", "B.qmk3", "D.qmk3"}));
        QCOMPARE(probe.reveals, QStringList({path("D.qmkp")}));
        QCOMPARE(probe.dialogStartDirs, QStringList({QDir::homePath(), QDir::homePath()}));
        QVERIFY(probe.errorRows().isEmpty());
    }

    // The reveal names the last document of the run, also after a batch that wrote
    // none, and only while that document exists.
    void revealAfterRefusedOnlyBatches() {
        const QString pro = make("Pro.qmkp", proImage());
        const QString good = make("Bon.qmk3", v32Image());
        wMain w;
        w.convertThread()->setPauseDivisor(5);
        BatchProbe probe(w);
        const QString kPro = qs(Globals::kVersionPro());

        struct Step {
            QString file;
            bool removeWrittenFirst;
            QStringList reveals;
        };
        const Step steps[] = {
            {pro, false, {}},                                   // nothing written yet
            {good, false, {path("Bon.qmkp")}},                  // writes Bon.qmkp
            {pro, false, {path("Bon.qmkp"), path("Bon.qmkp")}}, // refused: Bon again
            {pro, true, {path("Bon.qmkp"), path("Bon.qmkp")}},  // Bon gone: nothing
        };
        for (const Step& step : steps) {
            if (step.removeWrittenFirst)
                QVERIFY(QFile::remove(path("Bon.qmkp")));
            dropOn(w, {step.file});
            QVERIFY(w.queue);
            QTRY_VERIFY_WITH_TIMEOUT(probe.idle(), kBatchTimeoutMs);
            QCOMPARE(probe.reveals, step.reveals);
        }
        // One panel collects the refusals of every batch.
        QCOMPARE(probe.errorRows(), QStringList(3, "Pro.qmkp | " + kPro));
    }

    // A failure on the worker is filed like a refusal and the batch goes on.
    void workerFailuresAreFiledAndTheBatchGoesOn() {
        const QString missing = path("Disparu.qmkx");
        const QString folder = path("Dossier.qmkx");
        QVERIFY(QDir().mkdir(folder));
        const QString good = make("Bon.qmkx", plusXImage());
        // A header with a negative journal count is refused by the reader.
        const QString negative = make("Négatif.qmkx", PlusXDoc().maxEcrCount(-3).bytes());
        // A document cut after its first 1000 bytes, of the 129692 + 3 x 82 it needs.
        const QString cut = make("Tronqué.qmkx", PlusXDoc().maxEcrCount(3).truncated(1000));

        wMain w;
        w.convertThread()->setPauseDivisor(10);
        BatchProbe probe(w);
        dropOn(w, {missing, folder, negative, cut, good});
        QCOMPARE(probe.queueRows().size(), 5);
        QTRY_VERIFY_WITH_TIMEOUT(probe.idle(), kBatchTimeoutMs);

        const QStringList rows = probe.errorRows();
        QCOMPARE(rows.size(), 4);
        const QString failed = qs(Globals::kConversionFailed());
        const QStringList names = {"Disparu.qmkx", "Dossier.qmkx", "Négatif.qmkx"};
        for (int i = 0; i < 3; ++i) {
            QVERIFY2(rows[i].startsWith(names[i] + " | " + failed), qPrintable(rows[i]));
            QVERIFY(rows[i].size() > (names[i] + " | " + failed).size()); // with a cause
        }
        QCOMPARE(rows[3],
                 "Tronqué.qmkx | " + failed + "document tronqué (1000 octets, il en faut 129938)");
        QCOMPARE(probe.started(), QStringList({"Disparu.qmkx", "Dossier.qmkx", "Négatif.qmkx",
                                               "Tronqué.qmkx", "Bon.qmkx"}));
        QCOMPARE(probe.reveals, QStringList({path("Bon.qmkp")}));
        // Nothing but the one document was written, and nothing was left behind.
        QCOMPARE(namesIn(folder_), QStringList({"Bon.qmkp", "Bon.qmkx", "Dossier.qmkx",
                                                "Négatif.qmkx", "Tronqué.qmkx"}));
    }

    // Whatever arrives in the middle of a batch, the batch holds: a close request
    // on the queue panel (while it slides out, or while the first file is read)
    // is refused, and a drop and a document from the desktop while a file is read
    // join the batch. Every file is converted into its own folder under its own
    // name, byte for byte.
    void nothingMidBatchBreaksIt_data() {
        QTest::addColumn<bool>("closeWhileSliding");
        QTest::newRow("close while sliding out") << true;
        QTest::newRow("close while a file is read") << false;
    }
    void nothingMidBatchBreaksIt() {
        QFETCH(bool, closeWhileSliding);
        for (const char* sub : {"A", "B", "C", "headless"})
            QVERIFY(QDir(folder_).mkdir(sub));
        const QString alpha = make("A/Alpha.qmkx", plusXImage("Alpha")),
                      delta = make("A/Delta.qmk3", v32Image("Delta")),
                      beta = make("B/Beta.qmkx", plusXImage("Beta")),
                      gamma = make("C/Gamma.qmk3", v32Image("Gamma"));
        QStringList copies;
        for (const QString& s : {alpha, delta, beta, gamma}) {
            copies << path("headless/" + QFileInfo(s).fileName());
            QVERIFY(QFile::copy(s, copies.last()));
        }
        convertHeadless(copies);

        auto app = NewAppInstance();
        app->Event_Open();
        wMain& w = *app->mainWindow();
        BatchProbe probe(w);
        QVERIFY(dropOn(w, {alpha, delta}));
        QPointer<wQueue> panel = w.queue.data();
        QVERIFY(panel);
        QVERIFY(QTest::qWaitForWindowExposed(panel));

        if (closeWhileSliding) {
            QVERIFY(panel->panelWidth() < wQueue::kOpenWidth);
            QVERIFY(!requestClose(panel));
        }
        // Alpha is being read.
        QTRY_VERIFY_WITH_TIMEOUT(
            w.ccConvert()->isVisibleTo(w.content()) && !w.state().converted.load(), 20000);
        if (!closeWhileSliding)
            QVERIFY(!requestClose(panel));
        QCoreApplication::processEvents();
        QVERIFY(panel);
        QVERIFY(panel->isVisible());

        QVERIFY(dropOn(w, {beta}));
        app->Event_OpenDocument(FolderItem(gamma.toStdString()));
        QCOMPARE(w.queue.data(), panel.data());
        QCOMPARE(qs(w.state().fileToConvert()->Name()), QString("Alpha.qmkx"));
        QCOMPARE(probe.queueRows(),
                 QStringList({"Alpha.qmkx", "Delta.qmk3", "Beta.qmkx", "Gamma.qmk3"}));

        QTRY_VERIFY_WITH_TIMEOUT(probe.idle(), kBatchTimeoutMs);
        QCOMPARE(probe.started(),
                 QStringList({"Alpha.qmkx", "Delta.qmk3", "Beta.qmkx", "Gamma.qmk3"}));
        QVERIFY(probe.errorRows().isEmpty());
        const QStringList written = {"A/Alpha.qmkp", "A/Delta.qmkp", "B/Beta.qmkp", "C/Gamma.qmkp"};
        for (const QString& out : written) {
            const QByteArray bytes = readFile(path(out));
            QVERIFY2(!bytes.isEmpty(), qPrintable(out));
            QVERIFY2(bytes == readFile(path("headless/" + QFileInfo(out).fileName())),
                     qPrintable(out));
        }
        QCOMPARE(namesIn(path("A")),
                 QStringList({"Alpha.qmkp", "Alpha.qmkx", "Delta.qmk3", "Delta.qmkp"}));
        QCOMPARE(namesIn(path("B")), QStringList({"Beta.qmkp", "Beta.qmkx"}));
        QCOMPARE(namesIn(path("C")), QStringList({"Gamma.qmk3", "Gamma.qmkp"}));
        QCOMPARE(probe.reveals, QStringList({path("C/Gamma.qmkp")}));
    }

    // The worker's last status and title, and the end of its body, land while a
    // tick is between its reads: here the tick is applying the status before
    // them, and at that moment the real worker thread posts the last ones and
    // clears its busy flag. They are still shown before the batch ends, and
    // nothing is left pending for the next batch.
    void lastStatusAndTitleLandingMidTick() {
        const QString only = make("Seul.qmk3", v32Image());
        const QString pro = make("Pro.qmkp", proImage());
        const QString header = qs(Globals::kStatusHeader());
        const QString converted = qs(Globals::kConverted());
        const QString app = Globals::kAppTitle;
        const QString reading = "Conversion depuis Quillmark 3.2";

        wMain w;
        BatchProbe probe(w);
        QSemaphore go, posted;
        w.convertThread()->setBody([&](ConversionDocument&, ConversionHandoff& s) {
            s.newStatus(header.toStdString());
            s.setTitle(reading.toStdString());
            go.tryAcquire(1, 60000);
            s.newStatus(converted.toStdString());
            s.setTitle(app.toStdString());
            posted.release();
        });
        bool forced = false;
        connect(&w, &wMain::statusApplied, &w, [&](const QString& text, const QString&) {
            if (text != header || forced)
                return;
            forced = true;
            go.release();
            posted.tryAcquire(1, 60000);
            // The worker ends its body (the busy flag goes up) before this tick reads on.
            const QDeadlineTimer deadline(60000);
            while (!w.state().converted.load() && !deadline.hasExpired())
                QThread::yieldCurrentThread();
        });
        QVERIFY(dropOn(w, {only}));
        QTRY_VERIFY_WITH_TIMEOUT(probe.idle(), kBatchTimeoutMs);
        QVERIFY(forced);
        QCOMPARE(probe.shown.back().text, converted);
        QCOMPARE(probe.shown.back().title, app);
        QCOMPARE(w.windowTitle(), app);
        QCOMPARE(w.stStatus()->text(), converted);
        QVERIFY(!w.state().statusChanged());

        // A refused file next: it shows its start and nothing of the last batch.
        w.convertThread()->setBody(conversion);
        probe.shown.clear();
        QVERIFY(dropOn(w, {pro}));
        QTRY_VERIFY_WITH_TIMEOUT(probe.idle(), kBatchTimeoutMs);
        QCOMPARE(texts(probe.shown), QStringList({qs(Globals::kStatusInit())}));
        QCOMPARE(w.windowTitle(), app);
    }
};

QTEST_MAIN(BatchTest)
#include "tst_batch.moc"
