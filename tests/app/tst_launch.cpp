// The program started as a process in hostile surroundings: another user listening
// where the hand-over would go, names that are not UTF-8, a flood of idle
// connections, termination signals at the earliest moments, and documents named
// like the toolkit's options.
#include "BatchProbe.h"
#include "ByteNames.h"
#include "OtherUser.h"
#include "Recorder.h"
#include "app/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <future>
#include <sys/resource.h>
#include <thread>
#include <vector>

using namespace qmk::test;

namespace {

const QByteArray kSocketName = "quillmark-pro-converter.socket";

int openDescriptors(qint64 pid) {
    return int(QDir(QString("/proc/%1/fd").arg(pid))
                   .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                   .size());
}

// The connection has been closed from the other end.
bool hungUp(int fd) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0)
        return false;
    char c;
    return (p.revents & (POLLHUP | POLLERR)) || ::recv(fd, &c, 1, MSG_DONTWAIT) <= 0;
}

// The most memory the process has held at once, in bytes.
qint64 peakMemory(qint64 pid) {
    QFile status(QString("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return -1;
}

QByteArray be32(quint32 v) {
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    return QByteArray(b, 4);
}

// A part of a request, with more parts to follow: the mark, the count, then each
// name with its length, counts big-endian.
QByteArray morePart(const QByteArray& name, int count) {
    QByteArray part = "QMK+" + be32(quint32(count));
    for (int i = 0; i < count; ++i)
        part += be32(quint32(name.size())) + name;
    return part;
}

// A peer that sends the parts, then keeps its request open with an empty part
// every half second, for a minute at most. True when the program hung up on it.
bool holdRequestOpen(const QByteArray& socket, const QByteArray& part, int parts) {
    sockaddr_un addr;
    const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    auto closeIt = qScopeGuard([s] { ::close(s); });
    if (s < 0 || !fillAddress(addr, socket) ||
        ::connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0)
        return false;
    const auto sendAll = [s](const QByteArray& bytes) {
        for (qsizetype at = 0; at < bytes.size();) {
            const ssize_t n =
                ::send(s, bytes.constData() + at, size_t(bytes.size() - at), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            at += n;
        }
        return true;
    };
    for (int i = 0; i < parts; ++i)
        if (!sendAll(part))
            return true;
    const QByteArray nothingYet = morePart({}, 0);
    for (int i = 0; i < 120; ++i) {
        if (hungUp(s) || !sendAll(nothingYet))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    return false;
}

} // namespace

class LaunchTest : public QObject {
    Q_OBJECT

    // A home, a runtime folder and a folder of documents of its own for each test,
    // so that no other copy of the program takes the files, and a recorder that
    // the end of a batch reveals through.
    std::unique_ptr<QTemporaryDir> base_;
    QString home_, runtime_, folder_, bin_;

    QProcessEnvironment environment(bool withRuntime = true) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", home_);
        env.remove("XDG_CACHE_HOME");
        keepFromFileManager(env, bin_);
        if (withRuntime)
            env.insert("XDG_RUNTIME_DIR", runtime_);
        else
            env.remove("XDG_RUNTIME_DIR");
        return env;
    }
    void start(QProcess& p, const QStringList& args, const QProcessEnvironment& env,
               QProcess::ProcessChannelMode channels = QProcess::ForwardedChannels) const {
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(folder_);
        p.setProcessChannelMode(channels);
        p.start(QMK_PROGRAM, args);
    }
    // With arguments of any bytes, through the shell (the program replaces it).
    void startWithBytes(QProcess& p, const QByteArrayList& args) const {
        QString command = "exec \"$0\"";
        for (const QByteArray& a : args)
            command += " " + shellWord(a);
        p.setProcessEnvironment(environment());
        p.setWorkingDirectory(folder_);
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        p.start("/bin/sh", {"-c", command, QMK_PROGRAM});
    }
    QByteArray inFolder(const QByteArray& name) const {
        return QFile::encodeName(folder_) + "/" + name;
    }
    // Quits a program that runs on, and checks that it quits cleanly.
    static void quit(QProcess& p) {
        p.terminate();
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
    }
    // A later launch hands the document (or nothing) to the running program and
    // ends; the running program converts the document.
    void handOver(const QString& document = {}) const {
        QProcess later;
        start(later, document.isEmpty() ? QStringList() : QStringList{document}, environment());
        QVERIFY(later.waitForFinished(30000));
        QCOMPARE(later.exitStatus(), QProcess::NormalExit);
        QCOMPARE(later.exitCode(), 0);
        if (!document.isEmpty())
            QTRY_VERIFY_WITH_TIMEOUT(
                QFileInfo::exists(folder_ + "/" + QFileInfo(document).completeBaseName() + ".qmkp"),
                60000);
    }
    bool socketListening() const { return QFileInfo::exists(runtime_ + "/" + kSocketName); }

  private slots:
    void init() {
        base_ = std::make_unique<QTemporaryDir>();
        QVERIFY(base_->isValid());
        // Other users may pass through (their folders below are theirs to make).
        QVERIFY(::chmod(QFile::encodeName(base_->path()).constData(), 0755) == 0);
        home_ = base_->filePath("home");
        runtime_ = base_->filePath("runtime");
        folder_ = base_->filePath("documents");
        bin_ = base_->filePath("bin");
        for (const QString& d : {home_, folder_, bin_})
            QVERIFY(QDir().mkpath(d));
        QVERIFY(::mkdir(QFile::encodeName(runtime_).constData(), 0700) == 0);
        QVERIFY(!writeRecorder(bin_, "xdg-open").isEmpty());
    }
    void cleanup() {
        removeAll(QFile::encodeName(base_->path()));
        base_.reset();
    }

    // Whoever listens first where the hand-over would go, if it is another user,
    // hears nothing; the launch converts its document itself.
    void anotherUsersListenerHearsNothing_data() {
        QTest::addColumn<QString>("where");
        QTest::newRow("shared temporary folder") << "temporary";
        QTest::newRow("runtime folder of another user") << "theirs";
        QTest::newRow("runtime folder open to all") << "open";
        QTest::newRow("listener of another user in our runtime folder") << "ours";
    }
    void anotherUsersListenerHearsNothing() {
        QFETCH(QString, where);
        const auto nobody = OtherUser::nobody();
        if (!nobody)
            QSKIP("needs root, to run a listener as another user");
        QVERIFY(writeFile(folder_ + "/Compta.qmkx", plusXImage()));

        QProcessEnvironment env = environment();
        QByteArray rivalPath = QFile::encodeName(runtime_) + "/" + kSocketName;
        auto bindAs = RivalListener::BindAs::OtherUser;
        const QByteArray runtime = QFile::encodeName(runtime_);
        if (where == "temporary") {
            // No runtime folder; the shared temporary folder holds a runtime folder
            // of the other user's under this user's name, so none can be made there.
            env = environment(false);
            const QString shared = base_->filePath("tmp");
            QVERIFY(::mkdir(QFile::encodeName(shared).constData(), 01777) == 0);
            QVERIFY(::chmod(QFile::encodeName(shared).constData(), 01777) == 0);
            const QByteArray theirs = QFile::encodeName(shared) + "/runtime-root";
            QVERIFY(::mkdir(theirs.constData(), 0700) == 0);
            QVERIFY(::chown(theirs.constData(), nobody->uid, nobody->gid) == 0);
            env.insert("TMPDIR", shared);
            rivalPath = QFile::encodeName(shared) + QByteArray("/quillmark-pro-converter-") +
                        QByteArray::number(::getuid()) + ".socket";
        } else if (where == "theirs") {
            QVERIFY(::chown(runtime.constData(), nobody->uid, nobody->gid) == 0);
        } else if (where == "open") {
            QVERIFY(::chmod(runtime.constData(), 0777) == 0);
        } else {
            bindAs = RivalListener::BindAs::ThisUserThenDrop;
        }
        RivalListener rival;
        QVERIFY(rival.start(rivalPath, *nobody, bindAs));

        QProcess launch;
        start(launch, {"Compta.qmkx"}, env);
        QVERIFY(launch.waitForStarted(20000));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(folder_ + "/Compta.qmkp"), 60000);
        rival.collect();
        QCOMPARE(rival.bytes, 0);
        // It did not hand over: it runs on as a program of its own.
        QCOMPARE(launch.state(), QProcess::Running);
        quit(launch);
    }

    // Names hold the bytes of the file system, also where they are not UTF-8: the
    // document so named is converted, and not the one whose name is that name's
    // lossy reading.
    void namesTravelAsBytes_data() {
        QTest::addColumn<bool>("handOver");
        QTest::newRow("command line") << false;
        QTest::newRow("hand-over to the running program") << true;
    }
    void namesTravelAsBytes() {
        QFETCH(bool, handOver);
        const QByteArray latin = "Compta \xE9t\xE9";                 // Latin-1, as on an old volume
        const QByteArray lossy = "Compta \xEF\xBF\xBDt\xEF\xBF\xBD"; // its reading as UTF-8
        QVERIFY(writeBytesFile(inFolder(latin + ".qmkx"), plusXImage("Latin")));
        QVERIFY(writeBytesFile(inFolder(lossy + ".qmkx"), plusXImage("Autre")));

        QProcess first, second;
        if (handOver) {
            start(first, {}, environment());
            QVERIFY(first.waitForStarted(20000));
            QTRY_VERIFY_WITH_TIMEOUT(socketListening(), 30000);
            startWithBytes(second, {latin + ".qmkx"});
            QVERIFY(second.waitForFinished(30000));
            QCOMPARE(second.exitCode(), 0);
        } else {
            startWithBytes(first, {latin + ".qmkx"});
            QVERIFY(first.waitForStarted(20000));
        }
        QTRY_VERIFY_WITH_TIMEOUT(existsAsBytes(inFolder(latin + ".qmkp")), 60000);
        quit(first);
        QCOMPARE(byteNamesIn(QFile::encodeName(folder_)),
                 QByteArrayList({latin + ".qmkp", latin + ".qmkx", lossy + ".qmkx"}));
    }

    // "quillmark-pro-converter *" in a folder of 5,000 files, while the program
    // runs: the launch hands every name over, in order, and ends; no second
    // program converts them. What arrives is seen by a listener of the test's own
    // in the running program's place; the running program itself shows it took
    // them by converting the first.
    void manyDocumentsAreHandedOver_data() {
        QTest::addColumn<bool>("realProgram");
        QTest::newRow("to the running program") << true;
        QTest::newRow("every name, in order") << false;
    }
    void manyDocumentsAreHandedOver() {
        QFETCH(bool, realProgram);
        QStringList names{"Compta.qmk3"};
        QVERIFY(writeFile(folder_ + "/" + names[0], v32Image()));
        for (int i = 1; i < 5000; ++i) {
            names << QString("note-%1.txt").arg(i, 4, 10, QChar('0'));
            QVERIFY(writeFile(folder_ + "/" + names.back(), "x"));
        }
        QProcess first;
        std::unique_ptr<qmk::SingleInstance> listener;
        if (realProgram) {
            start(first, {}, environment());
            QVERIFY(first.waitForStarted(20000));
            QTRY_VERIFY_WITH_TIMEOUT(socketListening(), 30000);
        } else {
            listener = std::make_unique<qmk::SingleInstance>(QFile::encodeName(runtime_) + "/" +
                                                             kSocketName);
            QVERIFY(listener->listen());
        }
        std::optional<QSignalSpy> opened;
        if (listener)
            opened.emplace(listener.get(), &qmk::SingleInstance::filesOpened);

        QProcess second;
        start(second, names, environment());
        QVERIFY(second.waitForStarted(20000));
        // The event loop turns meanwhile, for the test's listener to answer. A
        // launch that ends, and with 0, was told its documents were taken: one
        // that was not would convert them itself and run on.
        QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 30000);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);

        if (realProgram) {
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(folder_ + "/Compta.qmkp"), 60000);
            quit(first);
        } else {
            QCOMPARE(opened->size(), 1);
            QByteArrayList expected;
            for (const QString& n : names)
                expected << QFile::encodeName(folder_ + "/" + n);
            QCOMPARE(opened->at(0).at(0).value<QByteArrayList>(), expected);
        }
    }

    // A running program that stalls (a debugger, Ctrl+Z, heavy swapping) while a
    // launch waits for its answer: the launch's document is converted exactly
    // once, by the running program when it answers in time, else by the launch
    // itself, never by both.
    void aStalledProgramConvertsADocumentOnce_data() {
        QTest::addColumn<int>("stallMs");
        QTest::newRow("2 s, within the launch's wait") << 2000;
        QTest::newRow("5 s, past its first wait") << 5000;
        QTest::newRow("9 s, past both its waits") << 9000;
    }
    void aStalledProgramConvertsADocumentOnce() {
        QFETCH(int, stallMs);
        QVERIFY(writeFile(folder_ + "/doc.qmk3", v32Image()));
        QVERIFY(writeFile(folder_ + "/later.qmk3", v32Image()));
        // The launch reveals the end of a batch of its own through an xdg-open of
        // its own, ahead of the others', which records that it ran.
        const QString bin = base_->filePath("launch-bin");
        QVERIFY(QDir().mkpath(bin));
        const QString reveal = writeRecorder(bin, "xdg-open");
        QVERIFY(!reveal.isEmpty());
        QProcessEnvironment launchEnv = environment();
        launchEnv.insert("PATH", bin + ":" + launchEnv.value("PATH"));

        QProcess running;
        start(running, {}, environment());
        QVERIFY(running.waitForStarted(20000));
        QTRY_VERIFY_WITH_TIMEOUT(socketListening(), 30000);
        const pid_t pid = pid_t(running.processId());
        QCOMPARE(::kill(pid, SIGSTOP), 0);
        auto resume = qScopeGuard([pid] { ::kill(pid, SIGCONT); });
        QProcess launch;
        start(launch, {"doc.qmk3"}, launchEnv);
        QVERIFY(launch.waitForStarted(20000));
        QTest::qWait(stallMs); // the stall itself
        QCOMPARE(::kill(pid, SIGCONT), 0);
        resume.dismiss();

        // Either it handed the document over and ended, or it converts it itself
        // and its batch ends.
        QTRY_VERIFY_WITH_TIMEOUT(
            launch.state() == QProcess::NotRunning || QFile::exists(reveal + ".args"), 60000);
        const bool handedOver = launch.state() == QProcess::NotRunning;
        if (handedOver) {
            QCOMPARE(launch.exitStatus(), QProcess::NormalExit);
            QCOMPARE(launch.exitCode(), 0);
        }
        // Whatever the running program took from the stalled launch is converted
        // before the document of a launch that comes after it.
        handOver("later.qmk3");
        QCOMPARE(namesIn(folder_),
                 QStringList({"doc.qmk3", "doc.qmkp", "later.qmk3", "later.qmkp"}));
        quit(running);
        if (!handedOver)
            quit(launch);
    }

    // A flood of idle connections, more than the program may hold open, does not
    // stop it listening, nor take the descriptors that the rest of the program
    // needs: a later launch still hands its document over.
    void idleConnectionsLeaveTheProgramListening() {
        rlimit mine;
        QVERIFY(::getrlimit(RLIMIT_NOFILE, &mine) == 0);
        const rlimit saved = mine;
        constexpr int kFlood = 1100;
        if (mine.rlim_max < rlim_t(kFlood + 200))
            QSKIP("the descriptor limit is too low for the flood");
        mine.rlim_cur = mine.rlim_max;
        QVERIFY(::setrlimit(RLIMIT_NOFILE, &mine) == 0);
        auto restore = qScopeGuard([&] { ::setrlimit(RLIMIT_NOFILE, &saved); });

        QVERIFY(writeFile(folder_ + "/Later.qmk3", v32Image()));
        QProcess running;
        start(running, {}, environment());
        QVERIFY(running.waitForStarted(20000));
        QTRY_VERIFY_WITH_TIMEOUT(socketListening(), 30000);

        // A few descriptors to spare, far fewer than the flood.
        const pid_t pid = pid_t(running.processId());
        rlimit theirs;
        QVERIFY(::prlimit(pid, RLIMIT_NOFILE, nullptr, &theirs) == 0);
        rlimit tight = theirs;
        tight.rlim_cur = rlim_t(openDescriptors(pid) + 8);
        QVERIFY(::prlimit(pid, RLIMIT_NOFILE, &tight, nullptr) == 0);

        sockaddr_un addr;
        QVERIFY(fillAddress(addr, QFile::encodeName(runtime_) + "/" + kSocketName));
        std::vector<int> flood;
        auto closeFlood = qScopeGuard([&] {
            for (int fd : flood)
                ::close(fd);
        });
        QElapsedTimer clock;
        clock.start();
        while (int(flood.size()) < kFlood && clock.elapsed() < 30000) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            QVERIFY(fd >= 0);
            if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) {
                flood.push_back(fd);
                continue;
            }
            ::close(fd);
            QCOMPARE(errno, EAGAIN); // the backlog is full for a moment
            QTest::qWait(5);
        }
        QCOMPARE(int(flood.size()), kFlood);
        // The program deals with every one of them (an idle one is dropped), and
        // leaves a few descriptors free all along.
        int leastFree = int(tight.rlim_cur);
        const auto dealtWith = [&] {
            leastFree = std::min(leastFree, int(tight.rlim_cur) - openDescriptors(pid));
            return std::all_of(flood.begin(), flood.end(), hungUp);
        };
        QTRY_VERIFY_WITH_TIMEOUT(dealtWith(), 60000);
        QVERIFY2(leastFree >= 4, qPrintable(QString("%1 descriptors left free").arg(leastFree)));

        QVERIFY(::prlimit(pid, RLIMIT_NOFILE, &theirs, nullptr) == 0);
        handOver("Later.qmk3");
        quit(running);
    }

    // Peers of this user that keep requests of many names unfinished, each part
    // restarting the wait for the next, hold neither the program's memory nor
    // its listener: each is hung up within seconds, the program grows by far
    // less than they hold out, and a launch is then served.
    void unfinishedRequestsAreBounded_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("count"); // of names in a part
        QTest::addColumn<int>("parts"); // of a peer, all with more to come
        QTest::newRow("nearly a million short names each") << QByteArray("/a") << 4096 << 244;
        QTest::newRow("nearly 64 MiB of names each") << ("/" + QByteArray(3999, 'n')) << 1047 << 15;
    }
    void unfinishedRequestsAreBounded() {
        QFETCH(QByteArray, name);
        QFETCH(int, count);
        QFETCH(int, parts);
        QVERIFY(writeFile(folder_ + "/Later.qmk3", v32Image()));
        QProcess running;
        start(running, {}, environment());
        QVERIFY(running.waitForStarted(20000));
        QTRY_VERIFY_WITH_TIMEOUT(socketListening(), 30000);
        const qint64 pid = running.processId(), before = peakMemory(pid);
        QVERIFY(before > 0);

        const QByteArray socket = QFile::encodeName(runtime_) + "/" + kSocketName;
        const QByteArray part = morePart(name, count);
        std::vector<std::future<bool>> peers;
        for (int i = 0; i < 16; ++i)
            peers.push_back(std::async(std::launch::async, holdRequestOpen, socket, part, parts));
        for (auto& p : peers) {
            QTRY_VERIFY_WITH_TIMEOUT(
                p.wait_for(std::chrono::seconds(0)) == std::future_status::ready, 90000);
            QVERIFY2(p.get(), "a peer held its request open for a minute");
        }
        const qint64 grown = peakMemory(pid) - before;
        QVERIFY2(grown < 256 << 20, qPrintable(QString("grew by %1 MiB").arg(grown >> 20)));

        handOver("Later.qmk3");
        quit(running);
    }

    // A termination signal at the earliest moment it can be taken quits with 0.
    // One that comes while a launch hands its document over ends it as the
    // signal would, and says that the document was not handed over.
    void earlyTerminationQuitsCleanly_data() {
        QTest::addColumn<bool>("duringHandOver");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("right after start") << false << 0;
        QTest::newRow("during the hand-over wait") << true << 128 + SIGTERM;
    }
    void earlyTerminationQuitsCleanly() {
        QFETCH(bool, duringHandOver);
        QFETCH(int, exitCode);
        QVERIFY(writeFile(folder_ + "/Compta.qmkx", plusXImage()));
        QProcess launch;
        QLocalServer silent; // a running program that never answers
        std::unique_ptr<QLocalSocket> heard;
        if (duringHandOver) {
            QVERIFY(silent.listen(runtime_ + "/" + kSocketName));
            start(launch, {"Compta.qmkx"}, environment(), QProcess::ForwardedOutputChannel);
            QVERIFY(launch.waitForStarted(20000));
            QTRY_VERIFY_WITH_TIMEOUT(silent.hasPendingConnections(), 30000);
            heard.reset(silent.nextPendingConnection());
            QTRY_VERIFY_WITH_TIMEOUT(heard->bytesAvailable() > 0, 30000);
        } else {
            // Held back until the program takes it: it arrives at the first moment
            // the program can take it, however soon the signal is sent.
            launch.setChildProcessModifier([] {
                sigset_t held;
                sigemptyset(&held);
                sigaddset(&held, SIGTERM);
                ::sigprocmask(SIG_BLOCK, &held, nullptr);
            });
            start(launch, {"Compta.qmkx"}, environment(), QProcess::ForwardedOutputChannel);
            QVERIFY(launch.waitForStarted(20000));
        }
        ::kill(pid_t(launch.processId()), SIGTERM);
        QVERIFY(launch.waitForFinished(20000));
        QCOMPARE(launch.exitStatus(), QProcess::NormalExit);
        QCOMPARE(launch.exitCode(), exitCode);
        const QString said = QString::fromUtf8(launch.readAllStandardError());
        const QString notHandedOver =
            "quillmark-pro-converter : arrêté par le signal 15 ; les documents n'ont pas été "
            "transmis au programme déjà ouvert.\n";
        QVERIFY2(said.contains(notHandedOver) == duringHandOver, qPrintable(said));
        QCOMPARE(namesIn(folder_), QStringList({"Compta.qmkx"}));
    }

    // A first program slow to set its socket up (a loaded desktop, two documents
    // opened from the file manager at once) between taking the socket's name and
    // listening on it: a launch in between hands over to it rather than running
    // beside it, and the socket stays the first program's, so that later
    // launches find one program, also once it has quit.
    void aSlowStartIsWaitedFor() {
        for (const char* name : {"first.qmk3", "second.qmk3", "third.qmk3", "fourth.qmk3"})
            QVERIFY(writeFile(folder_ + "/" + name, v32Image()));
        const QString gate = base_->filePath("gate"), refused = base_->filePath("refused");
        QProcessEnvironment slow = environment(), watched = environment();
        slow.insert("LD_PRELOAD", QMK_START_GATE);
        slow.insert("QMK_LISTEN_GATE", gate);
        watched.insert("LD_PRELOAD", QMK_START_GATE);
        watched.insert("QMK_REFUSED_LOG", refused);

        QProcess first;
        start(first, {"first.qmk3"}, slow);
        QVERIFY(first.waitForStarted(20000));
        QTRY_VERIFY_WITH_TIMEOUT(socketListening(), 30000); // its name taken, not listening yet
        QProcess second;
        start(second, {"second.qmk3"}, watched);
        QVERIFY(second.waitForStarted(20000));
        // The second found nobody listening; only then does the first listen.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(refused), 30000);
        QVERIFY(writeFile(gate, ""));
        QVERIFY2(second.waitForFinished(30000), "the second launch runs beside the first");
        QCOMPARE(second.exitCode(), 0);

        handOver("third.qmk3");
        quit(first);

        // With the first gone, the next launch is the running program, and the one
        // after it hands over to it.
        QProcess next;
        start(next, {"fourth.qmk3"}, environment());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(folder_ + "/fourth.qmkp"), 60000);
        QCOMPARE(next.state(), QProcess::Running);
        handOver();
        quit(next);
        QCOMPARE(namesIn(folder_),
                 QStringList({"first.qmk3", "first.qmkp", "fourth.qmk3", "fourth.qmkp",
                              "second.qmk3", "second.qmkp", "third.qmk3", "third.qmkp"}));
    }

    // Every argument that names a file is a document, whatever it looks like.
    void documentsNamedLikeOptions_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("documents");
        QTest::newRow("toolkit options") << QStringList{"-reverse", "-session", "ok.qmk3"}
                                         << QStringList{"-reverse", "-session", "ok.qmk3"};
        QTest::newRow("after the end of options")
            << QStringList{"--", "--", "-style"} << QStringList{"--", "-style"};
    }
    void documentsNamedLikeOptions() {
        QFETCH(QStringList, args);
        QFETCH(QStringList, documents);
        QStringList expected;
        for (const QString& d : documents) {
            QVERIFY(writeFile(folder_ + "/" + d, v32Image()));
            expected << d << QFileInfo(d).completeBaseName() + ".qmkp";
        }
        std::sort(expected.begin(), expected.end());
        QProcess launch;
        start(launch, args, environment());
        QVERIFY(launch.waitForStarted(20000));
        QTRY_VERIFY_WITH_TIMEOUT(namesIn(folder_) == expected, 60000);
        quit(launch);
    }
};

QTEST_GUILESS_MAIN(LaunchTest)
#include "tst_launch.moc"
