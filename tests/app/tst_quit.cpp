// The program itself, started as a process: quitting in the middle of a conversion
// ends it at once with exit code 0 and leaves no document, and a second launch
// hands its files to the running program and exits.
#include "BatchProbe.h"
#include "Recorder.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace qmk::test;

namespace {

// The pauses of a Plus / X conversion from the opening of its source: after the
// header, the currencies, the access rights, the accounts and the journal, then
// twice after the save.
constexpr qint64 kPausesMs = 250 + 250 + 250 + 300 + 500 + 250 + 250;

// Whether the process has the file open (the worker reads its source).
bool hasOpen(qint64 pid, const QString& file) {
    const QString fds = QString("/proc/%1/fd").arg(pid);
    const QString target = QFileInfo(file).canonicalFilePath();
    for (const QString& fd :
         QDir(fds).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        if (QFile::symLinkTarget(fds + "/" + fd) == target)
            return true;
    return false;
}

} // namespace

class QuitTest : public QObject {
    Q_OBJECT

    QTemporaryDir bin_; // the xdg-open that the end of a batch reveals through

    // The program on a display of its own kind and a runtime folder of its own,
    // so no other running copy takes the files and no file manager is reached.
    void start(QProcess& p, const QString& runtime, const QString& folder,
               const QStringList& files) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", runtime);
        keepFromFileManager(env, bin_.path());
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(folder);
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(QMK_PROGRAM, files);
    }

  private slots:
    void initTestCase() {
        QVERIFY(bin_.isValid());
        QVERIFY(!writeRecorder(bin_.path(), "xdg-open").isEmpty());
    }

    void quitDuringAConversion_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("terminate") << SIGTERM;
        QTest::newRow("interrupt") << SIGINT;
        QTest::newRow("hang-up") << SIGHUP;
    }
    void quitDuringAConversion() {
        QFETCH(int, signal);
        QTemporaryDir runtime, folder;
        QVERIFY(runtime.isValid() && folder.isValid());
        const QString source = folder.filePath("Compta.qmkx");
        QVERIFY(writeFile(source, plusXImage()));

        QElapsedTimer clock;
        clock.start();
        QProcess program;
        start(program, runtime.path(), folder.path(), {source});
        QVERIFY(program.waitForStarted(20000));
        // The worker has the source open while it reads. The pauses still ahead
        // of it are all of them, less the time since the source was last seen
        // closed: a quit that waited them out would take at least that long.
        qint64 seenClosedAt = 0;
        const auto sourceOpen = [&] {
            const qint64 now = clock.elapsed();
            if (hasOpen(program.processId(), source))
                return true;
            seenClosedAt = now;
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(sourceOpen(), 30000);
        const qint64 pausesLeft = kPausesMs - (clock.elapsed() - seenClosedAt);

        clock.restart();
        ::kill(pid_t(program.processId()), signal);
        QVERIFY(program.waitForFinished(20000));
        const qint64 took = clock.elapsed();
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY2(
            took < pausesLeft,
            qPrintable(
                QString("quit took %1 ms, %2 ms of pauses were left").arg(took).arg(pausesLeft)));
        QCOMPARE(namesIn(folder.path()), QStringList({"Compta.qmkx"}));
    }

    void secondLaunchHandsOverItsFiles() {
        QTemporaryDir runtime, folder;
        QVERIFY(runtime.isValid() && folder.isValid());
        const QStringList docs = {folder.filePath("1.qmk3"), folder.filePath("2.qmk3"),
                                  folder.filePath("3.qmk3")};
        for (const QString& d : docs)
            QVERIFY(writeFile(d, v32Image()));

        QProcess first;
        start(first, runtime.path(), folder.path(), {docs[0], docs[1]});
        QVERIFY(first.waitForStarted(20000));
        QTRY_VERIFY_WITH_TIMEOUT(
            QFileInfo::exists(runtime.filePath("quillmark-pro-converter.socket")), 30000);

        // Named relative to the folder it is started in.
        QProcess second;
        start(second, runtime.path(), folder.path(), {"3.qmk3"});
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);

        const QStringList outputs = {folder.filePath("1.qmkp"), folder.filePath("2.qmkp"),
                                     folder.filePath("3.qmkp")};
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(outputs[2]), 60000);
        // One after the other, in the order they were named.
        for (int i = 1; i < 3; ++i)
            QVERIFY(QFileInfo(outputs[i - 1]).lastModified() <=
                    QFileInfo(outputs[i]).lastModified());

        first.terminate();
        QVERIFY(first.waitForFinished(20000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(QuitTest)
#include "tst_quit.moc"
