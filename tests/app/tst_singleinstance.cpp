// One program per user: later launches hand their files to the running one,
// in order; stale sockets, rival listeners and malformed requests.
#include "app/SingleInstance.h"

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <future>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using qmk::SingleInstance;

class TestSingleInstance : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    int n_ = 0;
    QString name_; // a fresh private socket per test

    // A later launch, on a thread of its own: the running program answers on
    // this one, whose event loop the test keeps turning.
    static std::future<bool> launch(const QString& name, const QStringList& files) {
        return std::async(std::launch::async,
                          [name, files] { return SingleInstance(name).forwardToRunning(files); });
    }
    static bool finished(const std::future<bool>& f) {
        return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    }
    // Sends raw bytes as a launch would, then hangs up.
    static std::future<void> sendRaw(const QString& name, const QByteArray& bytes) {
        return std::async(std::launch::async, [name, bytes] {
            QLocalSocket s;
            s.connectToServer(name);
            if (s.waitForConnected(5000)) {
                s.write(bytes);
                s.waitForBytesWritten(5000);
                s.waitForReadyRead(300);
                s.disconnectFromServer();
            }
        });
    }

  private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }
    void init() { name_ = dir_.path() + QString("/instance-%1.socket").arg(++n_); }

    void defaultSocketLiesInTheRuntimeFolder() {
        const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        QVERIFY(!runtime.isEmpty());
        QCOMPARE(QFileInfo(SingleInstance::defaultServerName()).absolutePath(),
                 QFileInfo(runtime).absoluteFilePath());
    }

    void nothingRunsSoNothingIsForwarded() {
        QVERIFY(!SingleInstance(name_).forwardToRunning({"/tmp/a.qmkx"}, 1000));
        // A socket left behind by a program that ended is no running program.
        QFile leftover(name_);
        QVERIFY(leftover.open(QIODevice::WriteOnly));
        leftover.close();
        QVERIFY(!SingleInstance(name_).forwardToRunning({"/tmp/a.qmkx"}, 1000));
    }

    void runningProgramGetsEachLaunchsFilesInOrder() {
        SingleInstance running(name_);
        QVERIFY(running.listen());
        QSignalSpy opened(&running, &SingleInstance::filesOpened);

        const QStringList first = {"/srv/compta/Société Dupont.qmkx",
                                   "/srv/compta/L'an \"2021\".qmk3"};
        auto a = launch(name_, first);
        QTRY_VERIFY_WITH_TIMEOUT(finished(a), 20000);
        QVERIFY(a.get());
        // A name relative to the launch's folder arrives as an absolute path.
        auto b = launch(name_, {"relatif.qmkx", "/srv/b.qmkp"});
        QTRY_VERIFY_WITH_TIMEOUT(finished(b), 20000);
        QVERIFY(b.get());
        auto c = launch(name_, {});
        QTRY_VERIFY_WITH_TIMEOUT(finished(c), 20000);
        QVERIFY(c.get());

        QCOMPARE(opened.size(), 3);
        QCOMPARE(opened[0][0].toStringList(), first);
        QCOMPARE(opened[1][0].toStringList(),
                 QStringList({QDir::current().absoluteFilePath("relatif.qmkx"), "/srv/b.qmkp"}));
        QCOMPARE(opened[2][0].toStringList(), QStringList());
    }

    void aStaleSocketIsReplaced() {
        // A bound socket whose program is gone: the file stays, nobody listens.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(fd >= 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const QByteArray path = QFile::encodeName(name_);
        QVERIFY(size_t(path.size()) < sizeof(addr.sun_path));
        memcpy(addr.sun_path, path.constData(), path.size());
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
        ::close(fd);
        QVERIFY(QFile::exists(name_));

        SingleInstance running(name_);
        QVERIFY(running.listen());
        QSignalSpy opened(&running, &SingleInstance::filesOpened);
        auto a = launch(name_, {"/srv/a.qmkx"});
        QTRY_VERIFY_WITH_TIMEOUT(finished(a), 20000);
        QVERIFY(a.get());
        QCOMPARE(opened.size(), 1);
    }

    void aSecondListenerLeavesTheRunningOneAlone() {
        SingleInstance running(name_);
        QVERIFY(running.listen());
        QSignalSpy opened(&running, &SingleInstance::filesOpened);

        // listen() probes the live socket synchronously, so the running one
        // answers that probe later, on this thread; the probe needs no answer.
        SingleInstance rival(name_);
        QVERIFY(!rival.listen());
        QVERIFY(running.isListening());

        auto a = launch(name_, {"/srv/a.qmkx"});
        QTRY_VERIFY_WITH_TIMEOUT(finished(a), 20000);
        QVERIFY(a.get());
        QCOMPARE(opened.size(), 1);
    }

    void malformedRequestsAreDropped_data() {
        QTest::addColumn<QByteArray>("bytes");
        auto request = [](quint32 mark, const QStringList& files, const QByteArray& tail) {
            QByteArray b;
            QDataStream out(&b, QIODevice::WriteOnly);
            out.setVersion(QDataStream::Qt_6_0);
            out << mark << files;
            return b + tail;
        };
        const QByteArray good = request(0x514D4B31, {"/srv/x.qmkx"}, {});
        QTest::newRow("not a request") << QByteArray("open /etc/passwd\n");
        QTest::newRow("wrong mark") << request(0x12345678, {"/srv/x.qmkx"}, {});
        QTest::newRow("cut short") << good.left(good.size() - 3);
        QTest::newRow("trailing bytes") << request(0x514D4B31, {"/srv/x.qmkx"}, "junk");
    }
    void malformedRequestsAreDropped() {
        QFETCH(QByteArray, bytes);
        SingleInstance running(name_);
        QVERIFY(running.listen());
        QSignalSpy opened(&running, &SingleInstance::filesOpened);

        auto raw = sendRaw(name_, bytes);
        QTRY_VERIFY_WITH_TIMEOUT(raw.wait_for(std::chrono::seconds(0)) == std::future_status::ready,
                                 20000);
        // A proper launch afterwards is served, and alone.
        auto a = launch(name_, {"/srv/a.qmkx"});
        QTRY_VERIFY_WITH_TIMEOUT(finished(a), 20000);
        QVERIFY(a.get());
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened[0][0].toStringList(), QStringList({"/srv/a.qmkx"}));
    }
};

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
