#include "app/SingleInstance.h"

#include "app/FileNames.h"
#include "app/HandOverRequest.h"
#include "app/Termination.h"

#include <QDeadlineTimer>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <poll.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace qmk {

namespace {

constexpr char kTaken = 'K';
constexpr char kSocketName[] = "quillmark-pro-converter.socket";
constexpr char kFolderName[] = "quillmark-pro-converter";
// How many waiting connections one wake-up of the listener takes, so that a flood
// of them never holds up the interface; the rest come at the next wake-up.
constexpr int kAcceptsPerWakeUp = 64;
constexpr int kRetryMs = 1000;
constexpr int kOutOfDescriptorsMs = 100;
// Descriptors that connections leave free below the process's limit, for the
// rest of the program: the toolkit's wake-ups, the files of a conversion, the
// reveal. Without them a flood of connections starves the interface.
constexpr int kSpareDescriptors = 16;

// The first descriptor that a connection may not have: the limit less the spare.
rlim_t connectionCeiling() {
    rlimit limit;
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return std::numeric_limits<rlim_t>::max();
    return limit.rlim_cur > rlim_t(kSpareDescriptors) ? limit.rlim_cur - kSpareDescriptors : 0;
}
constexpr qint64 kReadPerWakeUp = 1024 * 1024;
constexpr int kStartRounds = 8;

class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

// Whether a program holds the lock at the path, asked without taking it even for
// a moment, so that the question never keeps a starting program from it. The
// lock is an open file description's lock, which the kernel lets go of when the
// last descriptor of it closes, also when the program dies.
bool lockHeld(const QByteArray& path) {
    const Descriptor fd(::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0)
        return false;
    struct flock query = {};
    query.l_type = F_WRLCK;
    query.l_whence = SEEK_SET;
    return ::fcntl(fd.get(), F_OFD_GETLK, &query) == 0 && query.l_type != F_UNLCK;
}

bool fillAddress(sockaddr_un& addr, const QByteArray& path) {
    addr = {};
    addr.sun_family = AF_UNIX;
    if (path.isEmpty() || size_t(path.size()) >= sizeof(addr.sun_path))
        return false;
    std::memcpy(addr.sun_path, path.constData(), size_t(path.size()));
    return true;
}

int connectTo(int fd, const sockaddr_un& addr) {
    return ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
}

// The other end of a connected socket runs as this user.
bool sameUser(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && size == sizeof peer &&
           peer.uid == ::geteuid();
}

// A folder of this user's (not a link) that nobody else may enter or change. One
// of the user's own that is open to others is closed to them when `tighten`.
bool isPrivateFolder(const QByteArray& path, bool tighten) {
    const Descriptor fd(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        st.st_uid != ::geteuid())
        return false;
    if ((st.st_mode & 0777) == 0700)
        return true;
    return tighten && ::fchmod(fd.get(), 0700) == 0;
}

QByteArray withoutTrailingSlashes(QByteArray path) {
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}

QByteArray homeFolder() {
    const QByteArray home = qgetenv("HOME");
    if (home.startsWith('/'))
        return home;
    const passwd* pw = ::getpwuid(::geteuid());
    return pw && pw->pw_dir && pw->pw_dir[0] == '/' ? QByteArray(pw->pw_dir) : QByteArray();
}

// The private folder made in the user's cache folder, or empty.
QByteArray privateFolder() {
    QByteArray cache = qgetenv("XDG_CACHE_HOME");
    if (!cache.startsWith('/')) {
        const QByteArray home = homeFolder();
        if (home.isEmpty())
            return {};
        cache = withoutTrailingSlashes(home) + "/.cache";
    }
    cache = withoutTrailingSlashes(cache);
    if (::mkdir(cache.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    const QByteArray folder = cache + "/" + kFolderName;
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    return isPrivateFolder(folder, true) ? folder : QByteArray();
}

enum class Wait { Ready, TimedOut, Terminated };

// Waits for the events on fd (none: only for the time to pass), until the deadline
// or a termination signal.
Wait waitFor(int fd, short events, const QDeadlineTimer& deadline) {
    pollfd fds[2] = {{fd, events, 0}, {TerminationDescriptor(), POLLIN, 0}};
    for (;;) {
        if (TerminationRequested())
            return Wait::Terminated;
        const int n = ::poll(fds, 2, int(std::min<qint64>(deadline.remainingTime(), 1 << 30)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n == 0 ? Wait::TimedOut : Wait::Terminated;
        if (fds[1].revents != 0 || TerminationRequested())
            return Wait::Terminated;
        return Wait::Ready;
    }
}

} // namespace

struct SingleInstance::Connection {
    Descriptor fd;
    QSocketNotifier* readable = nullptr;
    QTimer* deadline = nullptr;
    // The whole request's.
    QDeadlineTimer whole{SingleInstance::kWholeRequestMs};
    RequestReader request;

    explicit Connection(int socket) : fd(socket) {}
    ~Connection() {
        // Also from inside their own handlers: switched off now, deleted once back
        // in the event loop.
        readable->setEnabled(false);
        readable->deleteLater();
        deadline->stop();
        deadline->deleteLater();
    }
};

QByteArray SingleInstance::defaultSocketPath() {
    QByteArray folder = withoutTrailingSlashes(qgetenv("XDG_RUNTIME_DIR"));
    if (!folder.startsWith('/') || !isPrivateFolder(folder, false))
        folder = privateFolder();
    if (folder.isEmpty())
        return {};
    const QByteArray path = folder + "/" + kSocketName;
    sockaddr_un addr;
    return fillAddress(addr, path) ? path : QByteArray();
}

SingleInstance::SingleInstance(QByteArray socketPath, QObject* parent)
    : QObject(parent), socketPath_(std::move(socketPath)) {
    retry_ = new QTimer(this);
    retry_->setSingleShot(true);
    connect(retry_, &QTimer::timeout, this, [this] {
        if (isListening()) {
            accepting_->setEnabled(true);
            acceptConnections();
        } else if (!listen() && !someoneListens()) {
            retry_->start(kRetryMs);
        }
    });
}

SingleInstance::~SingleInstance() {
    connections_.clear();
    closeListener();
    // The socket goes with the program that made it, before the lock does: a
    // launch that finds no socket then waits until the lock is free, and takes it.
    unlinkOwnSocket();
    releaseLock();
}

void SingleInstance::unlinkOwnSocket() {
    struct stat st;
    if (boundInode_ != 0 && ::lstat(socketPath_.constData(), &st) == 0 && st.st_ino == boundInode_)
        ::unlink(socketPath_.constData());
    boundInode_ = 0;
}

QByteArray SingleInstance::lockPathFor(const QByteArray& socketPath) {
    return socketPath.isEmpty() ? QByteArray() : socketPath + ".lock";
}

bool SingleInstance::takeLock() {
    if (lock_ >= 0)
        return true;
    const QByteArray path = lockPathFor(socketPath_);
    if (path.isEmpty())
        return false;
    Descriptor fd(
        ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600));
    struct stat st;
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_uid != ::geteuid())
        return false;
    struct flock whole = {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    if (::fcntl(fd.get(), F_OFD_SETLK, &whole) != 0)
        return false; // held by another program (EAGAIN), or no locks here
    lock_ = fd.release();
    return true;
}

void SingleInstance::releaseLock() {
    if (lock_ >= 0)
        ::close(std::exchange(lock_, -1));
}

HandOver::HandOver(QByteArray socketPath) : socketPath_(std::move(socketPath)) {}

HandOver::~HandOver() {
    if (socket_ >= 0)
        ::close(socket_);
}

bool HandOver::send(const QByteArrayList& files, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    sockaddr_un addr;
    if (socket_ >= 0 || !fillAddress(addr, socketPath_) || TerminationRequested())
        return false;
    QByteArrayList names;
    for (const QByteArray& f : files)
        if (!f.isEmpty())
            names << absoluteName(f);
    const std::optional<QByteArrayList> request = encodeRequest(names);
    if (!request)
        return false;

    socket_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (socket_ < 0)
        return false;
    const QByteArray lock = SingleInstance::lockPathFor(socketPath_);
    while (connectTo(socket_, addr) != 0) {
        if (errno == ENOENT || errno == ECONNREFUSED) {
            // Nobody listens there: none runs, unless the holder of the lock is
            // still making its socket (or removing it as it ends).
            if (!lockHeld(lock)) {
                nobodyThere_ = true;
                return false;
            }
        } else if (errno != EAGAIN) {
            return false; // it cannot be reached
        }
        // Or the running program's queue of connections is full for a moment.
        if (waitFor(-1, 0, QDeadlineTimer(std::min<qint64>(20, deadline.remainingTime()))) ==
                Wait::Terminated ||
            deadline.hasExpired())
            return false;
    }
    // Whoever listens there must be this user: another would get the names and
    // answer for documents it never converts.
    if (!sameUser(socket_))
        return false;

    for (const QByteArray& part : *request) {
        // The running program takes the parts as they come: each has its own time.
        deadline = QDeadlineTimer(timeoutMs);
        const char* p = part.constData();
        qsizetype left = part.size();
        while (left > 0) {
            const ssize_t n = ::send(socket_, p, size_t(left), MSG_NOSIGNAL);
            if (n > 0) {
                p += n;
                left -= n;
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                return false;
            } else if (waitFor(socket_, POLLOUT, deadline) != Wait::Ready) {
                return false;
            }
        }
    }
    return true;
}

HandOver::Answer HandOver::awaitAnswer(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (socket_ < 0 || waitFor(socket_, POLLIN, deadline) != Wait::Ready)
            return Answer::None;
        char answer = 0;
        const ssize_t n = ::recv(socket_, &answer, 1, 0);
        if (n == 1)
            return answer == kTaken ? Answer::Taken : Answer::Refused;
        if (n == 0 || (errno != EAGAIN && errno != EINTR))
            return Answer::Refused;
    }
}

bool HandOver::giveUp() {
    if (socket_ < 0)
        return false;
    // From here on the running program's answer cannot be sent, and so it takes
    // nothing; one sent before is still here to be read.
    ::shutdown(socket_, SHUT_RD);
    char answer = 0;
    ssize_t n;
    while ((n = ::recv(socket_, &answer, 1, MSG_DONTWAIT)) < 0 && errno == EINTR) {
    }
    ::close(std::exchange(socket_, -1));
    return n == 1 && answer == kTaken;
}

bool SingleInstance::forwardToRunning(const QByteArrayList& files, int timeoutMs) const {
    return forward(files, timeoutMs) == Forward::Taken;
}

SingleInstance::Forward SingleInstance::forward(const QByteArrayList& files, int timeoutMs) const {
    HandOver handOver(socketPath_);
    if (!handOver.send(files, timeoutMs))
        return handOver.nobodyThere() ? Forward::NobodyThere : Forward::NotTaken;
    switch (handOver.awaitAnswer(timeoutMs)) {
    case HandOver::Answer::Taken:
        return Forward::Taken;
    case HandOver::Answer::Refused:
        return Forward::NotTaken;
    case HandOver::Answer::None:
        break;
    }
    return handOver.giveUp() ? Forward::Taken : Forward::NotTaken;
}

SingleInstance::Role SingleInstance::start(const QByteArrayList& files, int timeoutMs) {
    // Handing over first: a running program then sees only the request, never a
    // probe. Taking the lock and handing over can each lose a race to another
    // launch (the running program ending, or another starting); a few rounds
    // settle it.
    for (int round = 0; round < kStartRounds; ++round) {
        switch (forward(files, timeoutMs)) {
        case Forward::Taken:
            return Role::HandedOver;
        case Forward::NotTaken:
            return Role::Alone;
        case Forward::NobodyThere:
            break;
        }
        if (TerminationRequested())
            return Role::Alone;
        if (listen())
            return Role::Listening;
    }
    return Role::Alone;
}

bool SingleInstance::someoneListens() const {
    sockaddr_un addr;
    if (!fillAddress(addr, socketPath_))
        return false;
    const Descriptor probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    // A full queue of connections is a live listener too.
    return probe.get() >= 0 && (connectTo(probe.get(), addr) == 0 || errno == EAGAIN);
}

bool SingleInstance::listen() {
    if (isListening())
        return true;
    sockaddr_un addr;
    if (!fillAddress(addr, socketPath_))
        return false;
    // Only the holder of the lock makes the socket: anyone else may only find it.
    const bool hadLock = lock_ >= 0;
    if (!takeLock())
        return false;
    // Not listening after all: a socket made here goes, and a lock taken here too,
    // for whoever can listen.
    auto notListening = qScopeGuard([&] {
        unlinkOwnSocket();
        if (!hadLock)
            releaseLock();
    });
    Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (socket.get() < 0)
        return false;
    const auto* a = reinterpret_cast<const sockaddr*>(&addr);
    // A plain bind fails when the name is taken, so two programs cannot both hold it.
    if (::bind(socket.get(), a, sizeof addr) != 0) {
        if (errno != EADDRINUSE)
            return false;
        // No program of ours holds the lock, so the socket is one that a program
        // which ended abruptly left behind, or this program's own that failed; it
        // is replaced. A live listener that holds no lock (an earlier version of
        // the program) is left alone: the files go to it.
        struct stat st;
        if (someoneListens() || ::lstat(socketPath_.constData(), &st) != 0 ||
            !S_ISSOCK(st.st_mode) || ::unlink(socketPath_.constData()) != 0 ||
            ::bind(socket.get(), a, sizeof addr) != 0)
            return false;
    }
    struct stat bound;
    if (::lstat(socketPath_.constData(), &bound) != 0)
        return false;
    boundInode_ = bound.st_ino;
    if (::listen(socket.get(), SOMAXCONN) != 0)
        return false;
    notListening.dismiss();
    listener_ = socket.release();
    accepting_ = new QSocketNotifier(listener_, QSocketNotifier::Read, this);
    connect(accepting_, &QSocketNotifier::activated, this, &SingleInstance::acceptConnections);
    return true;
}

void SingleInstance::closeListener() {
    if (accepting_) {
        accepting_->setEnabled(false);
        accepting_->deleteLater();
        accepting_ = nullptr;
    }
    if (listener_ >= 0)
        ::close(listener_);
    listener_ = -1;
}

void SingleInstance::acceptConnections() {
    // Read once a wake-up: another program may change it while this one runs.
    const rlim_t ceiling = connectionCeiling();
    for (int i = 0; i < kAcceptsPerWakeUp && isListening(); ++i) {
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            switch (errno) {
            case EINTR:
            case ECONNABORTED:
            case EPROTO:
                continue;
            case EAGAIN:
                return;
            case EMFILE:
            case ENFILE:
            case ENOBUFS:
            case ENOMEM:
                // Out of descriptors, or of memory: the listener rests a moment,
                // open, while the rest of the program gives some back.
                rest();
                return;
            default:
                // The listener itself has failed: it is made anew.
                closeListener();
                retry_->start(kRetryMs);
                return;
            }
        }
        // Descriptors come lowest first, so every one below this is taken: past
        // the ceiling, what is left is the spare, and the connection goes at
        // once (its launch converts its documents itself).
        if (rlim_t(fd) >= ceiling) {
            ::close(fd);
            continue;
        }
        if (!sameUser(fd)) {
            ::close(fd);
            continue;
        }
        if (connections_.size() >= size_t(kMaxConnections))
            connections_.pop_front();
        auto owned = std::make_unique<Connection>(fd);
        Connection* c = owned.get();
        c->readable = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        c->deadline = new QTimer(this);
        c->deadline->setSingleShot(true);
        connect(c->readable, &QSocketNotifier::activated, this, [this, c] { readFrom(c); });
        connect(c->deadline, &QTimer::timeout, this, [this, c] { drop(c); });
        c->deadline->start(kRequestMs);
        connections_.push_back(std::move(owned));
        // A launch has usually written its whole request by now.
        readFrom(c);
    }
}

void SingleInstance::rest() {
    accepting_->setEnabled(false);
    retry_->start(kOutOfDescriptorsMs);
}

void SingleInstance::drop(Connection* c) {
    connections_.remove_if([c](const std::unique_ptr<Connection>& e) { return e.get() == c; });
}

void SingleInstance::readFrom(Connection* c) {
    // A bounded share per wake-up: a peer that keeps sending never holds up the
    // other launches, and the notifier brings the rest.
    for (qint64 read = 0; read < kReadPerWakeUp;) {
        char chunk[65536];
        const ssize_t n = ::recv(c->fd.get(), chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return;
        if (n <= 0)
            return drop(c); // hung up, or failed, before the request was complete
        read += n;
        const int partsBefore = c->request.parts();
        const RequestReader::State state = c->request.take(chunk, n);
        if (state == RequestReader::State::Bad)
            return drop(c);
        if (state == RequestReader::State::Complete)
            return answer(c);
        if (heldByRequests() > kMaxHeldBytes)
            return drop(c);
        if (c->request.parts() != partsBefore)
            c->deadline->start(int(std::min<qint64>(kRequestMs, c->whole.remainingTime())));
    }
}

qint64 SingleInstance::heldByRequests() const {
    qint64 held = 0;
    for (const auto& c : connections_)
        held += c->request.heldBytes();
    return held;
}

void SingleInstance::answer(Connection* c) {
    // The names are taken only once the answer is on its way: a launch that gave
    // up waiting has shut its reading side, and the send fails.
    ssize_t sent;
    while ((sent = ::send(c->fd.get(), &kTaken, 1, MSG_NOSIGNAL | MSG_DONTWAIT)) < 0 &&
           errno == EINTR) {
    }
    const QByteArrayList names = sent == 1 ? c->request.takeNames() : QByteArrayList();
    drop(c);
    if (sent == 1)
        emit filesOpened(names);
}

} // namespace qmk
