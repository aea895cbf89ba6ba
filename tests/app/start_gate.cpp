// Preloaded into the program by tests, to hold open the moments of a start-up
// that a loaded desktop makes long:
//   QMK_LISTEN_GATE=<file>: listen() on a local socket waits until the file
//     exists (at most a minute), after the socket's name was taken with bind();
//   QMK_REFUSED_LOG=<file>: each connect() to a local socket that finds nobody
//     listening (refused, or no socket) adds a line to the file.
#include <cerrno>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

namespace {

template <class F> F next(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

bool isLocal(int fd) {
    sockaddr_storage addr{};
    socklen_t size = sizeof addr;
    return ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &size) == 0 &&
           addr.ss_family == AF_UNIX;
}

void waitForFile(const char* path) {
    struct stat st;
    const timespec step{0, 10'000'000};
    for (int i = 0; i < 6000 && ::stat(path, &st) != 0; ++i)
        ::nanosleep(&step, nullptr);
}

} // namespace

extern "C" {

int listen(int fd, int backlog) {
    static const auto real = next<int (*)(int, int)>("listen");
    if (const char* gate = std::getenv("QMK_LISTEN_GATE"); gate && isLocal(fd))
        waitForFile(gate);
    return real(fd, backlog);
}

int connect(int fd, const sockaddr* addr, socklen_t size) {
    static const auto real = next<int (*)(int, const sockaddr*, socklen_t)>("connect");
    const int result = real(fd, addr, size);
    const int error = errno;
    const char* log = std::getenv("QMK_REFUSED_LOG");
    if (result != 0 && log && addr && addr->sa_family == AF_UNIX &&
        (error == ECONNREFUSED || error == ENOENT)) {
        const int out = ::open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (out >= 0) {
            [[maybe_unused]] auto n = ::write(out, "refused\n", 8);
            ::close(out);
        }
    }
    errno = error;
    return result;
}

} // extern "C"
