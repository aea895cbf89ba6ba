#include "app/Termination.h"

#include "app/App.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace qmk {

namespace {

int signalPipe[2] = {-1, -1};
volatile sig_atomic_t requested = 0;
QSocketNotifier* notifier = nullptr;

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

void onTerminationSignal(int sig) {
    // Only a flag and a write are safe here; the event loop, or the wait that
    // watches the descriptor, does the quitting. The first signal is the one kept.
    if (requested == 0)
        requested = sig;
    const char c = 1;
    [[maybe_unused]] auto n = ::write(signalPipe[1], &c, 1);
}

} // namespace

void CatchTerminationSignals() {
    if (signalPipe[0] >= 0)
        return;
    // Non-blocking: the handler never waits on a full pipe, nor the reader on an empty one.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0)
        return;
    struct sigaction sa = {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigset_t taken;
    sigemptyset(&taken);
    for (int sig : kSignals) {
        ::sigaction(sig, &sa, nullptr);
        sigaddset(&taken, sig);
    }
    ::sigprocmask(SIG_UNBLOCK, &taken, nullptr);
}

bool TerminationRequested() {
    return requested != 0;
}

int TerminationSignal() {
    return requested;
}

int TerminationDescriptor() {
    return signalPipe[0];
}

void QuitOnTerminationSignals() {
    CatchTerminationSignals();
    if (notifier || signalPipe[0] < 0 || !QCoreApplication::instance())
        return;
    notifier =
        new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char c[16];
        while (::read(signalPipe[0], c, sizeof c) > 0) {
        }
        Quit(0);
    });
    QObject::connect(notifier, &QObject::destroyed, [] { notifier = nullptr; });
}

} // namespace qmk
