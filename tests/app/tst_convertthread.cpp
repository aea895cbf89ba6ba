// The worker thread object: its own thread, a real pacer, the timer switched on on the
// interface thread, failures caught at its top (by the core's worker body), and the
// stop for quitting.
#include "app/ConvertThread.h"
#include "conversion/Conversion.h"
#include "model/Globals.h"
#include "platform/Errors.h"
#include "platform/Worker.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <new>
#include <stdexcept>

using namespace qmk;

class ConvertThreadTest : public QObject {
    Q_OBJECT

  private slots:
    void bodyRunsOnItsOwnThreadAndSwitchesTheTimerOn() {
        ConversionHandoff s;
        s.setFileToConvert(FolderItem("/nowhere/Compta.qmx"));
        QTimer timer;
        timer.setInterval(100);
        ConvertThread t(s, timer);
        std::atomic<Qt::HANDLE> bodyThread{nullptr};
        std::atomic<bool> slept{false}, busy{false};
        t.setBody([&](ConversionDocument& d, ConversionHandoff& st) {
            bodyThread = QThread::currentThreadId();
            busy = !st.converted.load() && d.fileToConvert.Name() == "Compta.qmx";
            Pause(5); // a real pacer is installed: this returns after sleeping
            YieldNow();
            slept = true;
        });
        t.Run();
        QTRY_VERIFY_WITH_TIMEOUT(slept.load(), 20000);
        QVERIFY(t.wait(20000));
        QVERIFY(bodyThread.load() != QThread::currentThreadId());
        QTRY_VERIFY_WITH_TIMEOUT(timer.isActive(), 20000);
        QCOMPARE(timer.thread(), QThread::currentThread());
        QVERIFY(busy.load());
        QVERIFY(s.converted.load());
        QVERIFY(s.errorMsg().empty());
    }

    // Whatever the conversion does with a state that has no current file, the
    // worker ends with the file finished and a French cause filed, never silently.
    void realBodyWithoutAFileEndsWithAMessage() {
        ConversionHandoff s;
        QTimer timer;
        ConvertThread t(s, timer);
        t.Run();
        QVERIFY(t.wait(20000));
        QVERIFY(s.converted.load());
        QVERIFY(!s.errorMsg().empty());
        QCOMPARE(s.windowTitle(), std::string(Globals::kAppTitle));
    }

    void failuresAreCaughtAtTheTop_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("French cause") << 0 << "La conversion a échoué : disque plein";
        // The library's English text goes to the standard error output, not to the row.
        QTest::newRow("std exception") << 1 << "La conversion a échoué : erreur interne";
        QTest::newRow("out of memory") << 2 << "La conversion a échoué : mémoire insuffisante";
        QTest::newRow("anything else") << 3 << "La conversion a échoué : erreur inconnue";
    }
    void failuresAreCaughtAtTheTop() {
        QFETCH(int, kind);
        QFETCH(QString, message);
        ConversionHandoff s;
        s.setFileToConvert(FolderItem("/nowhere/Compta.qmx"));
        s.setTitle("Lecture de Compta.qmx");
        QTimer timer;
        ConvertThread t(s, timer);
        t.setBody([kind](ConversionDocument&, ConversionHandoff&) {
            if (kind == 0)
                throw ConversionError("disque plein");
            if (kind == 1)
                throw std::length_error("vector::reserve");
            if (kind == 2)
                throw std::bad_alloc();
            throw 42;
        });
        t.Run();
        QVERIFY(t.wait(20000));
        // The batch can go on: the file is finished and its failure is filed.
        QVERIFY(s.converted.load());
        QCOMPARE(QString::fromStdString(s.errorMsg()), message);
        QCOMPARE(s.windowTitle(), std::string(Globals::kAppTitle));
    }

    void runsAgainForTheNextFile() {
        ConversionHandoff s;
        s.setFileToConvert(FolderItem("/nowhere/Compta.qmx"));
        QTimer timer;
        ConvertThread t(s, timer);
        std::atomic<int> runs{0};
        t.setBody([&](ConversionDocument&, ConversionHandoff&) { ++runs; });
        t.Run();
        QVERIFY(t.wait(20000));
        t.Run();
        QVERIFY(t.wait(20000));
        QCOMPARE(runs.load(), 2);
    }

    void stopWakesAPausedWorker() {
        ConversionHandoff s;
        s.setFileToConvert(FolderItem("/nowhere/Compta.qmx"));
        QTimer timer;
        ConvertThread t(s, timer);
        std::atomic<bool> started{false}, cancelled{false};
        std::atomic<int> runs{0};
        t.setBody([&](ConversionDocument&, ConversionHandoff&) {
            ++runs;
            started = true;
            try {
                Pause(600000);
            } catch (const ConversionCancelled&) {
                cancelled = true;
                throw;
            }
        });
        t.Run();
        QTRY_VERIFY_WITH_TIMEOUT(started.load(), 20000);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(t.stop(60000));
        QVERIFY(clock.elapsed() < 60000);
        QVERIFY(cancelled.load());
        QVERIFY(!t.isRunning());
        // Stopped for quitting: the state stays as the worker left it.
        QVERIFY(!s.converted.load());
        QVERIFY(s.errorMsg().empty());
        // Nothing starts after the stop.
        t.Run();
        QVERIFY(t.wait(20000));
        QCOMPARE(runs.load(), 1);
    }

    // A worker that does not reach a pause does not hold the caller beyond the grace.
    void stopGivesUpAfterTheGrace() {
        ConversionHandoff s;
        s.setFileToConvert(FolderItem("/nowhere/Compta.qmx"));
        QTimer timer;
        ConvertThread t(s, timer);
        std::atomic<bool> started{false}, release{false};
        t.setBody([&](ConversionDocument&, ConversionHandoff&) {
            started = true;
            while (!release.load())
                QThread::usleep(100);
        });
        t.Run();
        QTRY_VERIFY_WITH_TIMEOUT(started.load(), 20000);
        QVERIFY(!t.stop(50));
        QVERIFY(t.isRunning());
        release = true;
        QVERIFY(t.stop(-1));
    }

    void stopWithoutAWorkerIsImmediate() {
        ConversionHandoff s;
        QTimer timer;
        ConvertThread t(s, timer);
        QVERIFY(t.stop(0));
    }
};

QTEST_MAIN(ConvertThreadTest)
#include "tst_convertthread.moc"
