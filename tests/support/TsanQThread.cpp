// ThreadSanitizer builds only: shows ThreadSanitizer that a QThread's work comes
// before what follows a successful wait(), a false isRunning() or a true
// isFinished().
//
// Qt is not instrumented. Its threads are detached, so there is no join, and
// QThread hands over an ended thread through its own mutex, inside Qt, where
// ThreadSanitizer cannot see it. Without this, whatever the interface thread
// does with the worker's state once the worker has ended (start the next file,
// tear the window down) is reported as a data race.
//
// Our calls to these members bind to the definitions below (they are in the
// executable); each calls Qt's own.
#include <QThread>
#include <QVariant>

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <sanitizer/tsan_interface.h>

namespace {

template <typename F> F qtOwn(const char* symbol) {
    void* f = dlvsym(RTLD_NEXT, symbol, "Qt_6");
    if (!f) {
        std::fprintf(stderr, "TsanQThread: no %s in Qt\n", symbol);
        std::abort();
    }
    return reinterpret_cast<F>(f);
}

const char* const kStarted = "_qmk_tsan_started";

bool qtWait(QThread* t, QDeadlineTimer deadline) {
    static const auto f =
        qtOwn<bool (*)(QThread*, QDeadlineTimer)>("_ZN7QThread4waitE14QDeadlineTimer");
    return f(t, deadline);
}

bool qtIsFinished(const QThread* t) {
    static const auto f = qtOwn<bool (*)(const QThread*)>("_ZNK7QThread10isFinishedEv");
    return f(t);
}

} // namespace

void QThread::start(Priority priority) {
    static const auto qtStart =
        qtOwn<void (*)(QThread*, Priority)>("_ZN7QThread5startENS_8PriorityE");
    // The last thing the thread does in code that ThreadSanitizer sees: it emits
    // finished on its own thread once run() has returned, before wait() returns
    // and isFinished() turns true.
    if (!property(kStarted).toBool()) {
        setProperty(kStarted, true);
        connect(
            this, &QThread::finished, this, [this] { __tsan_release(this); }, Qt::DirectConnection);
    }
    qtStart(this, priority);
}

bool QThread::wait(QDeadlineTimer deadline) {
    const bool ended = qtWait(this, deadline);
    if (ended)
        __tsan_acquire(this);
    return ended;
}

bool QThread::isRunning() const {
    static const auto qtIsRunning = qtOwn<bool (*)(const QThread*)>("_ZNK7QThread9isRunningEv");
    const bool running = qtIsRunning(this);
    // Qt says "not running" as soon as the thread begins to finish, before it
    // emits finished; that takes a moment, so wait for it to end.
    if (!running && property(kStarted).toBool()) {
        QThread* self = const_cast<QThread*>(this);
        if (qtIsFinished(this) || qtWait(self, QDeadlineTimer(QDeadlineTimer::Forever)))
            __tsan_acquire(self);
    }
    return running;
}

bool QThread::isFinished() const {
    const bool finished = qtIsFinished(this);
    if (finished)
        __tsan_acquire(const_cast<QThread*>(this));
    return finished;
}
