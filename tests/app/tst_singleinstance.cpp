// One program per user: later launches hand their files to the running one, in
// order and as the file system's bytes; where the socket may live; stale sockets,
// rival listeners, other users, and requests that are malformed or too big.
#include "OtherUser.h"
#include "app/HandOverRequest.h"
#include "app/SingleInstance.h"

#include <QDir>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <future>
#include <limits>
#include <linux/sockios.h>
#include <malloc.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>

using qmk::SingleInstance;
using namespace qmk::test;

namespace {

// A part of a request as a launch sends it: "QMK2" for the last part ("QMK+"
// when more follow), the count, then each name with its length, all counts
// big-endian.
QByteArray be32(quint32 v) {
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    return QByteArray(b, 4);
}
QByteArray request(const QByteArrayList& names, quint32 count, const char* mark = "QMK2") {
    QByteArray b = mark + be32(count);
    for (const QByteArray& n : names)
        b += be32(quint32(n.size())) + n;
    return b;
}
QByteArray request(const QByteArrayList& names) {
    return request(names, quint32(names.size()));
}
QByteArray morePart(const QByteArrayList& names) {
    return request(names, quint32(names.size()), "QMK+");
}
QByteArrayList numberedNames(int count, int bytes = 0) {
    QByteArrayList names;
    for (int i = 0; i < count; ++i) {
        QByteArray n = "/srv/" + QByteArray::number(i) + ".qmk3";
        names << (bytes > n.size() ? n + QByteArray(bytes - n.size(), 'a') : n);
    }
    return names;
}

QByteArrayList filesOf(const QSignalSpy& spy, int i) {
    return spy[i][0].value<QByteArrayList>();
}

// The environment variables a test changes, put back as they were.
class ScopedEnv {
  public:
    void set(const char* name, const QByteArray& value) {
        keep(name);
        qputenv(name, value);
    }
    void unset(const char* name) {
        keep(name);
        qunsetenv(name);
    }
    ~ScopedEnv() {
        for (const auto& [name, value] : saved_)
            value ? qputenv(name.constData(), *value) : qunsetenv(name.constData());
    }

  private:
    void keep(const char* name) {
        for (const auto& s : saved_)
            if (s.first == name)
                return;
        saved_.emplace_back(name, qEnvironmentVariableIsSet(name)
                                      ? std::optional<QByteArray>(qgetenv(name))
                                      : std::nullopt);
    }
    std::vector<std::pair<QByteArray, std::optional<QByteArray>>> saved_;
};

// Bytes this thread's heap holds (the running program's side runs on it).
qint64 heapInUse() {
    const struct mallinfo2 m = ::mallinfo2();
    return qint64(m.uordblks + m.hblkhd);
}

qint64 threadCpuNs() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// A connection to the socket, blocking, or -1.
int connectedTo(const QByteArray& name) {
    sockaddr_un addr;
    const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s >= 0 && fillAddress(addr, name) &&
        ::connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0)
        return s;
    if (s >= 0)
        ::close(s);
    return -1;
}

// Holds the lock beside the socket as a running program does, or -1.
int holdLock(const QByteArray& socket) {
    const int fd =
        ::open(SingleInstance::lockPathFor(socket).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    struct flock whole = {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    if (fd >= 0 && ::fcntl(fd, F_OFD_SETLK, &whole) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

ino_t inodeOf(const QByteArray& path) {
    struct stat st;
    return ::lstat(path.constData(), &st) == 0 ? st.st_ino : 0;
}

int modeOf(const QByteArray& path) {
    struct stat st;
    return ::lstat(path.constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    int n_ = 0;
    QByteArray name_; // a fresh private socket per test

    // A later launch, on a thread of its own: the running program answers on
    // this one, whose event loop the test keeps turning.
    static std::future<bool> launch(const QByteArray& name, const QByteArrayList& files) {
        return std::async(std::launch::async,
                          [name, files] { return SingleInstance(name).forwardToRunning(files); });
    }
    template <class T> static bool finished(const std::future<T>& f) {
        return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    }
    // Sends raw bytes as a launch would, then waits for the running program to
    // hang up; true when it answered anything at all.
    static std::future<bool> sendRaw(const QByteArray& name, const QByteArray& bytes) {
        return std::async(std::launch::async, [name, bytes] {
            sockaddr_un addr;
            const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            bool answered = false;
            if (fillAddress(addr, name) &&
                ::connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) {
                // Stops where the program hangs up on a request it has dropped.
                for (qsizetype at = 0; at < bytes.size();) {
                    const ssize_t n =
                        ::send(s, bytes.constData() + at, size_t(bytes.size() - at), MSG_NOSIGNAL);
                    if (n <= 0)
                        break;
                    at += n;
                }
                char c;
                answered = readable(s, 20000) && ::read(s, &c, 1) == 1;
            }
            ::close(s);
            return answered;
        });
    }
    // A peer that sends the part over and over and never ends its request. Its
    // result: the bytes it had sent when the running program hung up, or -1 when
    // it sent `most` bytes without being hung up on.
    static std::future<qint64> sendEndlessly(const QByteArray& name, const QByteArray& part,
                                             qint64 most) {
        return std::async(std::launch::async, [name, part, most] {
            const int s = connectedTo(name);
            qint64 sent = 0;
            while (s >= 0 && sent < most) {
                const ssize_t n = ::send(s, part.constData(), size_t(part.size()), MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                sent += n;
            }
            if (s >= 0)
                ::close(s);
            return sent < most ? sent : qint64(-1);
        });
    }
    // A launch on a slow line: sends the bytes in pieces, each once the running
    // program has read the one before, then reads the answer. True when it came.
    static std::future<bool> drip(const QByteArray& name, const QByteArray& bytes,
                                  qsizetype piece) {
        return std::async(std::launch::async, [name, bytes, piece] {
            const int s = connectedTo(name);
            bool answered = s >= 0;
            for (qsizetype at = 0; answered && at < bytes.size(); at += piece) {
                const size_t n = size_t(std::min(piece, bytes.size() - at));
                answered = ::send(s, bytes.constData() + at, n, MSG_NOSIGNAL) == ssize_t(n);
                int unread = 1;
                while (answered && ::ioctl(s, SIOCOUTQ, &unread) == 0 && unread > 0)
                    std::this_thread::sleep_for(std::chrono::microseconds(50));
            }
            char c = 0;
            answered = answered && readable(s, 20000) && ::read(s, &c, 1) == 1;
            if (s >= 0)
                ::close(s);
            return answered;
        });
    }
    // A proper launch is served, and alone.
    void servedAlone(SingleInstance& running) {
        QSignalSpy opened(&running, &SingleInstance::filesOpened);
        auto a = launch(running.socketPath(), {"/srv/a.qmkx"});
        QTRY_VERIFY_WITH_TIMEOUT(finished(a), 20000);
        QVERIFY(a.get());
        QCOMPARE(opened.size(), 1);
        QCOMPARE(filesOf(opened, 0), QByteArrayList({"/srv/a.qmkx"}));
    }

  private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }
    void init() {
        name_ = QFile::encodeName(dir_.path()) + "/instance-" + QByteArray::number(++n_);
    }

    // The socket lives only in a folder that is the user's alone, never in the
    // shared temporary folder.
    void socketPlace_data() {
        QTest::addColumn<QString>("setUp");
        QTest::addColumn<QString>("place"); // runtime, private or none
        QTest::newRow("runtime folder of ours") << "ours"
                                                << "runtime";
        QTest::newRow("no runtime folder") << "unset"
                                           << "private";
        QTest::newRow("relative runtime folder") << "relative"
                                                 << "private";
        QTest::newRow("runtime folder open to others") << "open"
                                                       << "private";
        QTest::newRow("runtime folder a link to ours") << "link"
                                                       << "private";
        QTest::newRow("runtime folder of another user") << "theirs"
                                                        << "private";
        QTest::newRow("private folder of ours open to others, closed") << "privateOpen"
                                                                       << "private";
        QTest::newRow("private folder a link") << "privateLink"
                                               << "none";
        QTest::newRow("private folder of another user") << "privateTheirs"
                                                        << "none";
        QTest::newRow("no home to make it in") << "noHome"
                                               << "none";
    }
    void socketPlace() {
        QFETCH(QString, setUp);
        QFETCH(QString, place);
        QTemporaryDir base;
        QVERIFY(base.isValid());
        const QByteArray root = QFile::encodeName(base.path());
        const QByteArray runtime = root + "/runtime", cache = root + "/cache";
        const QByteArray privateFolder = cache + "/quillmark-pro-converter";
        QVERIFY(::mkdir(runtime.constData(), 0700) == 0);
        ScopedEnv env;
        env.set("XDG_RUNTIME_DIR", runtime);
        env.set("XDG_CACHE_HOME", cache);
        const auto nobody = OtherUser::nobody();
        if ((setUp == "theirs" || setUp == "privateTheirs") && !nobody)
            QSKIP("needs root, to give a folder to another user");

        if (setUp == "unset") {
            env.unset("XDG_RUNTIME_DIR");
        } else if (setUp == "relative") {
            env.set("XDG_RUNTIME_DIR", "runtime");
        } else if (setUp == "open") {
            QVERIFY(::chmod(runtime.constData(), 0755) == 0);
        } else if (setUp == "link") {
            QVERIFY(::symlink(runtime.constData(), (root + "/link").constData()) == 0);
            env.set("XDG_RUNTIME_DIR", root + "/link");
        } else if (setUp == "theirs") {
            QVERIFY(::chown(runtime.constData(), nobody->uid, nobody->gid) == 0);
        } else if (setUp.startsWith("private")) {
            env.unset("XDG_RUNTIME_DIR");
            QVERIFY(::mkdir(cache.constData(), 0700) == 0);
            if (setUp == "privateOpen") {
                QVERIFY(::mkdir(privateFolder.constData(), 0755) == 0);
                QVERIFY(::chmod(privateFolder.constData(), 0755) == 0);
            } else if (setUp == "privateLink") {
                QVERIFY(::mkdir((root + "/elsewhere").constData(), 0700) == 0);
                QVERIFY(::symlink((root + "/elsewhere").constData(), privateFolder.constData()) ==
                        0);
            } else {
                QVERIFY(::mkdir(privateFolder.constData(), 0700) == 0);
                QVERIFY(::chown(privateFolder.constData(), nobody->uid, nobody->gid) == 0);
            }
        } else if (setUp == "noHome") {
            env.unset("XDG_RUNTIME_DIR");
            env.unset("XDG_CACHE_HOME");
            env.set("HOME", root + "/nobody-lives-here");
        }

        const QByteArray path = SingleInstance::defaultSocketPath();
        if (place == "runtime") {
            QCOMPARE(path, runtime + "/quillmark-pro-converter.socket");
        } else if (place == "private") {
            QCOMPARE(path, privateFolder + "/quillmark-pro-converter.socket");
            QCOMPARE(modeOf(privateFolder), 0700);
        } else {
            QCOMPARE(path, QByteArray());
            // With nowhere safe to meet, a launch neither hands over nor listens.
            SingleInstance alone(path);
            QVERIFY(!alone.forwardToRunning({"/srv/a.qmkx"}, 1000));
            QVERIFY(!alone.listen());
        }
    }

    void nothingRunsSoNothingIsForwarded() {
        QVERIFY(!SingleInstance(name_).forwardToRunning({"/tmp/a.qmkx"}, 1000));
        // A file in the socket's place is no running program, and stays.
        QFile leftover(QFile::decodeName(name_));
        QVERIFY(leftover.open(QIODevice::WriteOnly));
        leftover.close();
        QVERIFY(!SingleInstance(name_).forwardToRunning({"/tmp/a.qmkx"}, 1000));
        QVERIFY(!SingleInstance(name_).listen());
        QVERIFY(leftover.exists());
    }

    void runningProgramGetsEachLaunchsFilesInOrder() {
        SingleInstance running(name_);
        QVERIFY(running.listen());
        QSignalSpy opened(&running, &SingleInstance::filesOpened);

        // The bytes as they are, also where they are not UTF-8.
        const QByteArrayList first = {"/srv/compta/Soci\xC3\xA9t\xC3\xA9 Dupont.qmkx",
                                      "/srv/compta/Compta \xE9t\xE9.qmkx",
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
        QCOMPARE(filesOf(opened, 0), first);
        QCOMPARE(
            filesOf(opened, 1),
            QByteArrayList({QFile::encodeName(QDir::current().absoluteFilePath("relatif.qmkx")),
                            "/srv/b.qmkp"}));
        QCOMPARE(filesOf(opened, 2), QByteArrayList());
    }

    // Who converts a launch's documents is decided by the running program's
    // answer alone: it takes the names only if its answer reaches the launch,
    // and a launch that gives up waiting takes the answer that was already there
    // as its own.
    void theAnswerDecidesWhoConverts_data() {
        QTest::addColumn<QString>("order");
        QTest::addColumn<bool>("taken");
        QTest::newRow("the answer comes, then the launch gives up") << "answer first" << true;
        QTest::newRow("the launch gives up, then the request is read") << "give up first" << false;
        QTest::newRow("the launch's wait runs out first") << "wait runs out" << false;
    }
    void theAnswerDecidesWhoConverts() {
        QFETCH(QString, order);
        QFETCH(bool, taken);
        SingleInstance running(name_);
        QVERIFY(running.listen());
        QSignalSpy opened(&running, &SingleInstance::filesOpened);
        const QByteArrayList files{"/srv/late.qmkx"};

        if (order == "wait runs out") {
            // The running program answers on this thread, which turns no events
            // while the launch waits: it stalls for as long as the launch waits.
            QCOMPARE(SingleInstance(name_).forwardToRunning(files, 200), taken);
        } else {
            qmk::HandOver handOver(name_);
            QVERIFY(handOver.send(files, 20000));
            if (order == "answer first")
                QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 1, 20000);
            QCOMPARE(handOver.giveUp(), taken);
        }
        // The request, read now if not before, is taken exactly when the launch
        // was told so; a later launch is served as ever.
        servedAlone(running);
        QCOMPARE(opened.size(), taken ? 2 : 1);
        if (taken)
            QCOMPARE(filesOf(opened, 0), files);
    }

    // A launch hands over any number of names, in as many parts as they need, and
    // in order; only a name beyond the byte limit keeps it from handing over.
    void requestsAtTheirBounds_data() {
        const int most = int(qmk::kMaxPartNames), longest = int(qmk::kMaxNameBytes);
        QTest::addColumn<QByteArrayList>("names");
        QTest::addColumn<bool>("taken");
        QTest::newRow("as many names as one part holds") << numberedNames(most) << true;
        QTest::newRow("one name more than one part holds") << numberedNames(most + 1) << true;
        QTest::newRow("names for several parts") << numberedNames(3 * most + 5) << true;
        QTest::newRow("more bytes than one part holds") << numberedNames(2000, 4000) << true;
        QTest::newRow("a name of exactly the byte limit")
            << QByteArrayList{"/srv/a", "/" + QByteArray(longest - 1, 'n'), "/srv/b"} << true;
        QTest::newRow("a name one byte beyond the limit")
            << QByteArrayList{"/srv/a", "/" + QByteArray(longest, 'n')} << false;
        const int all = int(qmk::kMaxRequestNames);
        QTest::newRow("as many names as a request holds") << numberedNames(all) << true;
        QTest::newRow("one name more than a request holds") << numberedNames(all + 1) << false;
        const int beyond = int(qmk::kMaxRequestBytes / 4000) + 1;
        QTest::newRow("more bytes than a request holds") << numberedNames(beyond, 4000) << false;
    }
    void requestsAtTheirBounds() {
        QFETCH(QByteArrayList, names);
        QFETCH(bool, taken);
        SingleInstance running(name_);
        QVERIFY(running.listen());
        QSignalSpy opened(&running, &SingleInstance::filesOpened);
        auto a = launch(name_, names);
        QTRY_VERIFY_WITH_TIMEOUT(finished(a), 20000);
        QCOMPARE(a.get(), taken);
        if (taken) {
            QCOMPARE(opened.size(), 1);
            QCOMPARE(filesOf(opened, 0), names);
        } else {
            QCOMPARE(opened.size(), 0);
        }
    }

    void aStaleSocketIsReplaced() {
        // A bound socket whose program is gone: the file stays, nobody listens.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(fd >= 0);
        sockaddr_un addr;
        QVERIFY(fillAddress(addr, name_));
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
        ::close(fd);
        QVERIFY(QFile::exists(QFile::decodeName(name_)));

        SingleInstance running(name_);
        QVERIFY(running.listen());
        servedAlone(running);
    }

    void aSecondListenerLeavesTheRunningOneAlone() {
        SingleInstance running(name_);
        QVERIFY(running.listen());
        // listen() probes the live socket, which the running one answers later, on
        // this thread; the probe needs no answer.
        SingleInstance rival(name_);
        QVERIFY(!rival.listen());
        QVERIFY(running.isListening());
        servedAlone(running);
    }

    // A program still making its socket (it holds the lock and has taken the
    // socket's name, but listens only a moment later) is no program that is
    // gone: a rival neither listens nor removes its socket, and a launch waits
    // for it and hands over.
    void aStartingProgramIsWaitedFor() {
        const int lock = holdLock(name_);
        QVERIFY(lock >= 0);
        const int starting = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        auto closeBoth = qScopeGuard([&] {
            ::close(starting);
            ::close(lock);
        });
        sockaddr_un addr;
        QVERIFY(fillAddress(addr, name_));
        QCOMPARE(::bind(starting, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        const ino_t made = inodeOf(name_);

        {
            SingleInstance rival(name_);
            QVERIFY(!rival.listen());
        }
        QCOMPARE(inodeOf(name_), made);

        const QByteArrayList files{"/srv/a.qmkx"};
        auto a = launch(name_, files);
        QVERIFY2(a.wait_for(std::chrono::milliseconds(300)) == std::future_status::timeout,
                 "the launch did not wait for the program setting its socket up");
        QCOMPARE(::listen(starting, 8), 0);
        QVERIFY(readable(starting, 20000));
        const int c = ::accept4(starting, nullptr, nullptr, SOCK_CLOEXEC);
        QVERIFY(c >= 0);
        auto closeConnection = qScopeGuard([c] { ::close(c); });
        const QByteArray expected = request(files);
        QByteArray got(expected.size(), '\0');
        for (qsizetype at = 0; at < got.size();) {
            QVERIFY(readable(c, 20000));
            const ssize_t n = ::read(c, got.data() + at, size_t(got.size() - at));
            QVERIFY(n > 0);
            at += n;
        }
        QCOMPARE(got, expected);
        QCOMPARE(::write(c, "K", 1), ssize_t(1));
        QTRY_VERIFY_WITH_TIMEOUT(finished(a), 20000);
        QVERIFY(a.get());
    }

    void malformedRequestsAreDropped_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = request({"/srv/x.qmkx"});
        // Within the bound on bytes: only the count gives them away.
        const QByteArrayList bogus(400000, "/x");
        QByteArrayList huge;
        for (int i = 0; i < 2000; ++i)
            huge << "/" + QByteArray(4000, 'a' + char(i % 26));

        QTest::newRow("not a request") << QByteArray("open /etc/passwd\n");
        QTest::newRow("the earlier format, names as text")
            << QByteArray::fromHex("514d4b3100000001000000040061002e");
        QTest::newRow("cut short") << good.left(good.size() - 3);
        QTest::newRow("cut in a length") << good.left(10);
        QTest::newRow("trailing bytes") << good + "junk";
        QTest::newRow("a count of 4 billion, nothing more") << "QMK2" + be32(0xFFFFFFFF);
        QTest::newRow("400,000 bogus names") << request(bogus);
        QTest::newRow("more names than counted") << request({"/a", "/b"}, 1);
        QTest::newRow("fewer names than counted") << request({"/a"}, 2);
        QTest::newRow("a length beyond the bound")
            << request({"/" + QByteArray(int(qmk::kMaxNameBytes), 'a')});
        QTest::newRow("a length of 4 billion") << "QMK2" + be32(1) + be32(0xFFFFFFFF) + "/a";
        QTest::newRow("an empty name") << request({"/a", ""});
        QTest::newRow("more bytes in all than the bound") << request(huge);
        QTest::newRow("a relative name") << request({"compta.qmkx"});
        QTest::newRow("a zero byte in a name") << request({QByteArray("/a\0b", 4)});
        QTest::newRow("a part with more to come, then nothing") << morePart({"/a", "/b"});
        QTest::newRow("a bad part after a good one") << morePart({"/a"}) + request({"compta.qmkx"});
        QTest::newRow("a later part beyond the bound in bytes") << morePart({"/a"}) + request(huge);
        QTest::newRow("something after the last part")
            << morePart({"/a"}) + request({"/b"}) + morePart({"/c"});
    }
    void malformedRequestsAreDropped() {
        QFETCH(QByteArray, bytes);
        SingleInstance running(name_);
        QVERIFY(running.listen());
        QSignalSpy opened(&running, &SingleInstance::filesOpened);

        auto raw = sendRaw(name_, bytes);
        QTRY_VERIFY_WITH_TIMEOUT(finished(raw), 30000);
        QVERIFY(!raw.get()); // hung up on, unanswered
        QCOMPARE(opened.size(), 0);
        servedAlone(running);
    }

    // A peer that never ends its request: once the request passes a bound, the
    // connection goes with nothing taken, what it held is given back, and the
    // program serves launches as ever.
    void anEndlessRequestIsCutOff_data() {
        QTest::addColumn<QByteArray>("part");
        QTest::addColumn<qint64>("least"); // sent before it may be hung up on
        QTest::addColumn<qint64>("most");  // and at most, with what the line holds
        const qint64 slack = 1 << 20;
        const QByteArray big = morePart(numberedNames(1000, 4000)); // about 4 MiB
        // Cut off at the length of the name that would pass the bound.
        const qint64 bound = qmk::kMaxRequestBytes;
        QTest::newRow("parts of 4 MiB") << big << bound - qmk::kMaxNameBytes << bound + slack;
        const QByteArray shortest = morePart(QByteArrayList(4096, "/a"));
        const qint64 parts = qmk::kMaxRequestNames / 4096;
        QTest::newRow("parts of the shortest names")
            << shortest << parts * shortest.size() << (parts + 1) * shortest.size() + slack;
    }
    void anEndlessRequestIsCutOff() {
        QFETCH(QByteArray, part);
        QFETCH(qint64, least);
        QFETCH(qint64, most);
        SingleInstance running(name_);
        QVERIFY(running.listen());
        QSignalSpy opened(&running, &SingleInstance::filesOpened);
        const qint64 heldBefore = heapInUse();
        {
            auto peer = sendEndlessly(name_, part, 2 * most);
            QTRY_VERIFY_WITH_TIMEOUT(finished(peer), 120000);
            const qint64 cutAt = peer.get();
            QVERIFY2(cutAt >= 0, "the request was never cut off");
            QVERIFY2(cutAt >= least && cutAt <= most, qPrintable(QString::number(cutAt)));
        }
        QCOMPARE(opened.size(), 0);
        QVERIFY2(heapInUse() < heldBefore + (8 << 20),
                 qPrintable(QString("%1 bytes still held").arg(heapInUse() - heldBefore)));
        servedAlone(running);
    }

    // A request that comes in small pieces costs the running program as much in
    // one large part as in many small ones: each byte is looked at once, not the
    // whole part under way again at every piece. The cost is the time this
    // thread, the running program's, spends on the request; the two requests
    // have the same names, bytes and pieces, and only their ratio is measured.
    void aPartInPiecesIsReadOnce() {
        SingleInstance running(name_);
        QVERIFY(running.listen());
        QSignalSpy opened(&running, &SingleInstance::filesOpened);
        const QByteArrayList names = numberedNames(256, 4000); // about 1 MiB
        QByteArray manyParts;
        for (const QByteArray& n : names)
            manyParts += n == names.back() ? request({n}) : morePart({n});
        const QByteArray onePart = request(names);
        const auto cost = [&](const QByteArray& bytes) -> qint64 {
            const int before = int(opened.size());
            const qint64 start = threadCpuNs();
            auto peer = drip(name_, bytes, 4096);
            const bool taken = opened.wait(60000) && opened.size() == before + 1 &&
                               filesOf(opened, before) == names;
            const qint64 spent = threadCpuNs() - start;
            return peer.get() && taken ? spent : -1;
        };
        qint64 one = std::numeric_limits<qint64>::max(), many = one;
        for (int round = 0; round < 3; ++round) {
            one = std::min(one, cost(onePart));
            many = std::min(many, cost(manyParts));
            QVERIFY(one > 0 && many > 0);
        }
        QVERIFY2(one < 3 * many,
                 qPrintable(QString("%1 ns in one part, %2 ns in many").arg(one).arg(many)));
    }

    // Both ends make sure the other is the same user.
    void anotherUserIsNeitherHeardNorServed() {
        const auto nobody = OtherUser::nobody();
        if (!nobody)
            QSKIP("needs root, to act as another user");

        // Listening first, on a socket in our own folder.
        {
            RivalListener rival;
            QVERIFY(rival.start(name_, *nobody, RivalListener::BindAs::ThisUserThenDrop));
            QVERIFY(!SingleInstance(name_).forwardToRunning({"/srv/secret.qmkx"}, 5000));
            rival.collect();
            QCOMPARE(rival.bytes, 0);
        }
        // Launching, where the running program's socket is open to it.
        const QByteArray name = name_ + "-served";
        SingleInstance running(name);
        QVERIFY(running.listen());
        QVERIFY(::chmod(QFile::encodeName(dir_.path()).constData(), 0755) == 0);
        QVERIFY(::chmod(name.constData(), 0777) == 0);
        QSignalSpy opened(&running, &SingleInstance::filesOpened);
        RivalClient client;
        QVERIFY(client.start(name, *nobody, request({"/srv/planted.qmkx"})));
        QTRY_VERIFY_WITH_TIMEOUT(client.answer().has_value(), 30000);
        QCOMPARE(*client.answer(), '\0');
        QCOMPARE(opened.size(), 0);
        servedAlone(running);
    }
};

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
