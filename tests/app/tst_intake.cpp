// The three roads by which files reach the converter: a drop, the open dialog and
// documents the desktop asks the program to open (the command line at start, later
// launches, file-open events). Each starts a batch, or joins the running one.
#include "BatchProbe.h"
#include "ByteNames.h"

#include "app/App.h"
#include "app/ConvertThread.h"
#include "app/Resources.h"
#include "app/SingleInstance.h"

#include <QFileOpenEvent>
#include <QMimeData>
#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>

#include <future>

using namespace qmk;
using namespace qmk::test;

class IntakeTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    QString path(const QString& name) const { return dir_.filePath(name); }
    // Names of files that are never created: their conversions fail at once, which
    // is all these tests need of them.
    QStringList paths(const QStringList& names) const {
        QStringList p;
        for (const QString& n : names)
            p << path(n);
        return p;
    }
    QByteArrayList names(const QStringList& names) const {
        QByteArrayList n;
        for (const QString& p : paths(names))
            n << QFile::encodeName(p);
        return n;
    }

  private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        SetResourcesFolder(QMK_RESOURCES_DIR);
    }

    void drop_data() {
        QTest::addColumn<QList<QUrl>>("items");
        QTest::addColumn<bool>("message");
        QTest::addColumn<QStringList>("queued");
        const QUrl a = QUrl::fromLocalFile(path("a.qmkx")), b = QUrl::fromLocalFile(path("b.qmk3"));
        const QUrl web("https://example.org/compta.qmkx");
        QTest::newRow("files in the drag's order")
            << QList<QUrl>{b, a} << false << QStringList{"b.qmk3", "a.qmkx"};
        QTest::newRow("later non-file items skipped")
            << QList<QUrl>{a, web, QUrl("file:"), b} << false << QStringList{"a.qmkx", "b.qmk3"};
        QTest::newRow("first item no file, later files ignored")
            << QList<QUrl>{web, a, b} << true << QStringList{};
        QTest::newRow("no file at all (a text clipping)") << QList<QUrl>{} << true << QStringList{};
    }
    void drop() {
        QFETCH(QList<QUrl>, items);
        QFETCH(bool, message);
        QFETCH(QStringList, queued);
        wMain w;
        w.convertThread()->setPauseDivisor(10);
        BatchProbe probe(w);
        w.Event_DropObject(items);
        QCOMPARE(probe.messages, message ? QStringList{"Fichier non reconnu"} : QStringList{});
        QCOMPARE(probe.queueRows(), queued);
        if (queued.isEmpty()) {
            QVERIFY(!w.queue);
            QVERIFY(!w.state().fileToConvert());
            return;
        }
        QCOMPARE(qs(w.state().fileToConvert()->Name()), queued.first());
        QCOMPARE(w.queue->filesToImport()->size(), size_t(queued.size()));
        QTRY_VERIFY_WITH_TIMEOUT(probe.idle(), 60000);
        QCOMPARE(probe.started(), queued);
    }

    void openDialog() {
        wMain w;
        BatchProbe probe(w);
        QCOMPARE(qs(Globals::lastOpenFolder->NativePath()), QDir::homePath());

        // Closed without a choice: nothing starts.
        w.openFile();
        QVERIFY(!w.queue);
        QVERIFY(w.ccDropFile()->isVisibleTo(w.content()));

        // Two files, in the dialog's order; the dialog opens at home every time.
        probe.dialogAnswers = {paths({"z.qmkx", "a.qmkx"})};
        w.openFile();
        QVERIFY(w.queue);
        QCOMPARE(probe.queueRows(), QStringList({"z.qmkx", "a.qmkx"}));
        QCOMPARE(qs(w.state().fileToConvert()->Name()), QString("z.qmkx"));
        QTRY_VERIFY_WITH_TIMEOUT(probe.idle(), 60000);
        w.openFile();
        QCOMPARE(probe.dialogStartDirs, QStringList(3, QDir::homePath()));
        QCOMPARE(qs(Globals::lastOpenFolder->NativePath()), QDir::homePath());
    }

    // Documents from the desktop: the first starts a batch, the others join it.
    void openDocumentsJoinInOrder() {
        auto app = NewAppInstance();
        app->Event_OpenDocument(std::nullopt); // none: ignored, opens nothing
        QVERIFY(!app->mainWindow());
        app->Event_Open();
        wMain& w = *app->mainWindow();
        w.convertThread()->setPauseDivisor(10);
        BatchProbe probe(w);

        app->openDocuments(names({"1.qmkx", "2.qmkx"}));
        QPointer<wQueue> panel = w.queue.data();
        QVERIFY(panel);
        QCOMPARE(qs(w.state().fileToConvert()->Name()), QString("1.qmkx"));
        // The platform's file-open event joins too.
        QFileOpenEvent open(path("3.qmkx"));
        QCoreApplication::sendEvent(QCoreApplication::instance(), &open);
        QCOMPARE(w.queue.data(), panel.data());
        QCOMPARE(probe.queueRows(), QStringList({"1.qmkx", "2.qmkx", "3.qmkx"}));
        QTRY_VERIFY_WITH_TIMEOUT(probe.idle(), 60000);
        QCOMPARE(probe.started(), QStringList({"1.qmkx", "2.qmkx", "3.qmkx"}));
    }

    // The command line's files arrive once the window is open, in their order,
    // relative names taken against the folder the program was started in.
    void filesNamedAtStart() {
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir_.path()));
        auto app = NewAppInstance();
        app->openAtStart({"b.qmk3", QFile::encodeName(path("a.qmkx"))});
        QVERIFY(QDir::setCurrent(before));
        QVERIFY(!app->mainWindow());
        QTRY_VERIFY_WITH_TIMEOUT(app->mainWindow() && app->mainWindow()->queue, 20000);
        wMain& w = *app->mainWindow();
        BatchProbe probe(w);
        QCOMPARE(probe.queueRows(), QStringList({"b.qmk3", "a.qmkx"}));
        QCOMPARE(qs(w.state().fileToConvert()->AbsolutePath()), path("b.qmk3"));
        QTRY_VERIFY_WITH_TIMEOUT(probe.idle(), 60000);
    }

    // A drop and the open dialog open the file picked, by the bytes of its name, also
    // where they are not UTF-8. A name that comes as text that may be the lossy
    // reading of another name is refused in the error panel: no other file is
    // converted in its place.
    void namesAsTheFileSystemHoldsThem_data() {
        QTest::addColumn<QByteArrayList>("present"); // the folder's documents
        QTest::addColumn<QString>("road");
        QTest::addColumn<QByteArray>("picked");
        QTest::addColumn<bool>("converted");              // else refused
        const QByteArray latin = "Compta \xE9t\xE9.qmkx"; // Latin-1, as on an old volume
        const QByteArray lossy = "Compta \xEF\xBF\xBDt\xEF\xBF\xBD.qmkx"; // its reading as UTF-8
        const QByteArrayList both = {latin, lossy};
        QTest::newRow("drop, Latin-1 name beside its lossy reading")
            << both << "drop" << latin << true;
        QTest::newRow("drop, URL made from the lossy text")
            << both << "drop as text" << latin << false;
        QTest::newRow("dialog, Latin-1 name beside its lossy reading")
            << both << "dialog" << latin << false;
        QTest::newRow("dialog, Latin-1 name alone")
            << QByteArrayList{latin} << "dialog" << latin << false;
        QTest::newRow("dialog, a name holding the replacement character")
            << QByteArrayList{lossy} << "dialog" << lossy << true;
        const QByteArray utf8 = "Soci\xC3\xA9t\xC3\xA9.qmkx";
        QTest::newRow("dialog, UTF-8 name") << QByteArrayList{utf8} << "dialog" << utf8 << true;
    }
    void namesAsTheFileSystemHoldsThem() {
        QFETCH(QByteArrayList, present);
        QFETCH(QString, road);
        QFETCH(QByteArray, picked);
        QFETCH(bool, converted);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QByteArray folder = QFile::encodeName(dir.path());
        auto cleanUp = qScopeGuard([&] { removeAll(folder); });
        for (const QByteArray& name : present)
            QVERIFY(writeBytesFile(folder + "/" + name, plusXImage()));

        wMain w;
        w.convertThread()->setPauseDivisor(10);
        BatchProbe probe(w);
        const QByteArray path = folder + "/" + picked;
        // A drag that enters the window, then drops.
        auto drop = [&w](QMimeData& data) {
            const QPoint at(190, 100);
            QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&w, &enter);
            QDropEvent e(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&w, &e);
        };
        if (road == "drop") {
            // As a file manager sends it: the name's bytes, percent-encoded.
            QMimeData data;
            data.setData("text/uri-list", "file://" + path.toPercentEncoding("/") + "\r\n");
            drop(data);
        } else if (road == "drop as text") {
            // As a program that read the name as UTF-8 sends it.
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(QFile::decodeName(path))});
            drop(data);
        } else {
            probe.dialogAnswers = {{QFile::decodeName(path)}};
            w.openFile();
        }

        QByteArrayList expected = present;
        if (converted) {
            QVERIFY(w.queue);
            QCOMPARE(w.state().fileToConvert()->path().string(), path.toStdString());
            QTRY_VERIFY_WITH_TIMEOUT(probe.idle(), 60000);
            QCOMPARE(probe.errorRows(), QStringList());
            expected << picked.chopped(int(strlen(".qmkx"))) + ".qmkp";
            std::sort(expected.begin(), expected.end());
        } else {
            QVERIFY(!w.queue);
            QCOMPARE(probe.errorRows(),
                     QStringList({QFile::decodeName(picked) +
                                  " | nom de fichier illisible (caractères non reconnus) : le "
                                  "document n'est pas ouvert, pour ne pas en convertir un autre à "
                                  "sa place"}));
        }
        QCOMPARE(byteNamesIn(folder), expected);
    }

    // A later launch hands its files to this program; they join the running batch.
    void laterLaunchJoinsTheRunningBatch() {
        const QByteArray socket = QFile::encodeName(dir_.filePath("instance.socket"));
        auto app = NewAppInstance();
        app->Event_Open();
        wMain& w = *app->mainWindow();
        // Real pauses: the first file takes over a second, time enough for the
        // later launch to arrive while it converts.
        BatchProbe probe(w);
        const QString a = path("A.qmk3"), b = path("B.qmk3");
        QVERIFY(writeFile(a, v32Image()));
        QVERIFY(writeFile(b, v32Image()));

        SingleInstance running(socket);
        QCOMPARE(app->handOverOrListen(running, {}), SingleInstance::Role::Listening);
        QVERIFY(running.isListening());
        app->openDocuments({QFile::encodeName(a)});
        QVERIFY(w.queue);

        auto later = std::async(std::launch::async, [socket, b] {
            SingleInstance second(socket);
            return second.forwardToRunning({QFile::encodeName(b)});
        });
        QTRY_VERIFY_WITH_TIMEOUT(
            later.wait_for(std::chrono::seconds(0)) == std::future_status::ready, 20000);
        QVERIFY(later.get());
        QTRY_VERIFY_WITH_TIMEOUT(probe.idle(), 60000);
        QCOMPARE(probe.started(), QStringList({"A.qmk3", "B.qmk3"}));
        QCOMPARE(probe.reveals, QStringList({path("B.qmkp")}));
        QVERIFY(probe.errorRows().isEmpty());
    }
};

QTEST_MAIN(IntakeTest)
#include "tst_intake.moc"
