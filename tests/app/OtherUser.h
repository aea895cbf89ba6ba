// Processes of another user (nobody, see support/OtherUser.h) for the tests that
// run as root: a listener on a local socket that records how many bytes reach it
// and answers as a running program would, and a client that sends bytes and
// reports the answer.
//
// Each is a forked child that makes only system calls until it ends, so forking
// from a test with threads is safe.
#pragma once

#include "support/OtherUser.h"

#include <QByteArray>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qmk::test {

inline bool fillAddress(sockaddr_un& addr, const QByteArray& path) {
    addr = {};
    addr.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof(addr.sun_path))
        return false;
    std::memcpy(addr.sun_path, path.constData(), size_t(path.size()));
    return true;
}

// Waits up to timeoutMs for fd to be readable.
inline bool readable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    int n;
    while ((n = ::poll(&p, 1, timeoutMs)) < 0 && errno == EINTR) {
    }
    return n > 0;
}

class ChildProcess {
  public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() { stop(); }

    void stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
        if (report_ >= 0)
            ::close(report_);
        report_ = -1;
    }

  protected:
    // Forks; the child runs body with the write end of the report pipe, then ends.
    template <class Body> bool fork(Body body) {
        int p[2];
        if (::pipe(p) != 0)
            return false;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(p[0]);
            body(p[1]);
            ::_exit(0);
        }
        ::close(p[1]);
        report_ = p[0];
        return pid_ > 0;
    }
    static void send(int fd, const void* data, size_t n) {
        [[maybe_unused]] auto w = ::write(fd, data, n);
    }
    // On a socket the other end may have closed already: no SIGPIPE.
    static void sendOn(int socket, const void* data, size_t n) {
        [[maybe_unused]] auto w = ::send(socket, data, n, MSG_NOSIGNAL);
    }

    pid_t pid_ = -1;
    int report_ = -1;
};

// Listens at a path as another user; each connection's bytes are counted, then
// answered with the running program's "taken" byte.
class RivalListener : public ChildProcess {
  public:
    enum class BindAs {
        OtherUser,       // the socket file and the listener are the other user's
        ThisUserThenDrop // the socket file is made by this user, the listener is the other's
    };

    bool start(const QByteArray& path, OtherUser who, BindAs bindAs) {
        sockaddr_un addr;
        if (!fillAddress(addr, path))
            return false;
        if (!fork([=](int report) {
                if (bindAs == BindAs::OtherUser && !who.become())
                    return send(report, "E", 1);
                const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
                if (s < 0 || ::bind(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0)
                    return send(report, "E", 1);
                if (bindAs == BindAs::ThisUserThenDrop && !who.become())
                    return send(report, "E", 1);
                if (::listen(s, 16) != 0)
                    return send(report, "E", 1);
                send(report, "R", 1);
                for (;;) {
                    const int c = ::accept(s, nullptr, nullptr);
                    if (c < 0)
                        continue;
                    long long got = 0;
                    char buf[4096];
                    ssize_t n;
                    while (readable(c, 300) && (n = ::read(c, buf, sizeof buf)) > 0)
                        got += n;
                    sendOn(c, "K", 1);
                    ::close(c);
                    send(report, &got, sizeof got);
                }
            }))
            return false;
        char ready = 0;
        return readable(report_, 20000) && ::read(report_, &ready, 1) == 1 && ready == 'R';
    }

    // Connections so far, and the bytes they brought.
    int connections = 0;
    long long bytes = 0;
    void collect() {
        long long got;
        while (readable(report_, 0) && ::read(report_, &got, sizeof got) == sizeof got) {
            ++connections;
            bytes += got;
        }
    }
};

// Connects to a path as another user, sends the bytes and reports the first byte
// of the answer (0 for none within 5 s, or when the connection was refused).
class RivalClient : public ChildProcess {
  public:
    bool start(const QByteArray& path, OtherUser who, const QByteArray& request) {
        sockaddr_un addr;
        if (!fillAddress(addr, path))
            return false;
        const QByteArray bytes = request; // the child reads its own copy
        return fork([=](int report) {
            char answer = 0;
            const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
            if (who.become() && s >= 0 &&
                ::connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) {
                sendOn(s, bytes.constData(), size_t(bytes.size()));
                if (readable(s, 5000) && ::read(s, &answer, 1) != 1)
                    answer = 0;
            }
            send(report, &answer, 1);
        });
    }

    // The answer once the child has reported, none before.
    std::optional<char> answer() {
        char a;
        if (!got_ && readable(report_, 0) && ::read(report_, &a, 1) == 1)
            got_ = a;
        return got_;
    }

  private:
    std::optional<char> got_;
};

} // namespace qmk::test
