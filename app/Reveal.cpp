#include "app/Reveal.h"

#include "app/FileNames.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QProcess>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace qmk::Reveal {

namespace {
constexpr const char* kStatementPrefix = "Tell application \"Finder\" to reveal \"";
constexpr const char* kActivate = "Tell application \"Finder\" to activate";

constexpr const char* kFileManagerService = "org.freedesktop.FileManager1";
constexpr const char* kFileManagerPath = "/org/freedesktop/FileManager1";
constexpr const char* kFileManagerInterface = "org.freedesktop.FileManager1";

// Runs the program on its own, without a shell; what it prints is not read, so it
// goes nowhere rather than into the terminal the converter was started from.
bool startQuietly(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.setProgram(program);
    p.setArguments(arguments);
    p.setStandardInputFile(QProcess::nullDevice());
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    return p.startDetached();
}

// Where execvp would find the program, as bytes; empty when it is nowhere.
QByteArray findProgram(const QByteArray& program) {
    if (program.isEmpty() || program.contains('/'))
        return program;
    QByteArray searched = qgetenv("PATH");
    if (searched.isEmpty())
        searched = "/usr/local/bin:/usr/bin:/bin";
    for (const QByteArray& dir : searched.split(':')) {
        const QByteArray candidate = (dir.isEmpty() ? QByteArray(".") : dir) + "/" + program;
        struct stat st;
        if (::stat(candidate.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(candidate.constData(), X_OK) == 0)
            return candidate;
    }
    return {};
}

// Runs the program on these arguments as bytes (QProcess would pass them as text,
// and a name that is not UTF-8 would reach the program as another name), without
// a shell, detached, and with its output going nowhere. False when it could not be
// started. Between fork and exec only calls that are safe in a threaded program.
bool startBytesQuietly(const QByteArray& program, const QByteArrayList& arguments) {
    const QByteArray file = findProgram(program);
    if (file.isEmpty())
        return false;
    std::vector<char*> argv;
    QByteArray name = program;
    argv.push_back(name.data());
    QByteArrayList args = arguments;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return false;
    // No signal handler of this program may run in the children.
    sigset_t all, before;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &before);
    const pid_t child = ::fork();
    if (child == 0) {
        // The middle process ends at once, so that the program is nobody's child
        // here and leaves nothing to reap.
        ::close(report[0]);
        if (::fork() != 0)
            ::_exit(0);
        struct sigaction byDefault = {};
        byDefault.sa_handler = SIG_DFL;
        for (int sig = 1; sig < NSIG; ++sig)
            ::sigaction(sig, &byDefault, nullptr);
        ::sigprocmask(SIG_SETMASK, &before, nullptr);
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
            if (null > 2)
                ::close(null);
        }
        ::execv(file.constData(), argv.data());
        const int failed = errno;
        [[maybe_unused]] auto n = ::write(report[1], &failed, sizeof failed);
        ::_exit(127);
    }
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    ::close(report[1]);
    int status = -1;
    if (child > 0)
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    // The pipe closes without a word when the program has started.
    int failed = 0;
    ssize_t n;
    do
        n = ::read(report[0], &failed, sizeof failed);
    while (n < 0 && errno == EINTR);
    ::close(report[0]);
    return child > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}
} // namespace

QString commandText(const QString& absolutePath) {
    return QString::fromUtf8(kCommandFirst) + absolutePath + QString::fromUtf8(kCommandLast);
}

QString appleScriptString(const QString& text) {
    QString out;
    out.reserve(text.size() + 8);
    for (QChar c : text) {
        if (c == u'\\' || c == u'"')
            out += u'\\';
        out += c;
    }
    return out;
}

QStringList osascriptArguments(const QString& absolutePath) {
    return {"-e", QString::fromUtf8(kStatementPrefix) + appleScriptString(absolutePath) + u'"',
            "-e", QString::fromUtf8(kActivate)};
}

bool startOsascript(const QString& absolutePath, const QString& program) {
    return startQuietly(program, osascriptArguments(absolutePath));
}

QString fileUri(const QByteArray& absolutePath) {
    // QByteArray's own encoding: QUrl's takes text, and would read the bytes as UTF-8.
    return "file://" + QString::fromLatin1(absolutePath.toPercentEncoding("/"));
}

QByteArray containingFolder(const QByteArray& absolutePath) {
    const QByteArray path =
        absolutePath.startsWith('/') ? absolutePath : absoluteName(absolutePath);
    const auto folder = std::filesystem::path(path.toStdString()).lexically_normal().parent_path();
    return QByteArray::fromStdString(folder.string());
}

bool openContainingFolder(const QByteArray& absolutePath, const QByteArray& program) {
    // An absolute folder path begins with '/', so it can never pass for an option.
    return startBytesQuietly(program, {containingFolder(absolutePath)});
}

void showOnBus(const QByteArray& absolutePath, const QDBusConnection& bus,
               std::function<void(bool shown)> done, const QByteArray& opener, int timeoutMs) {
    auto fallBack = [absolutePath, opener, done](bool shown) {
        if (!shown)
            openContainingFolder(absolutePath, opener);
        if (done)
            done(shown);
    };
    if (!bus.isConnected()) {
        fallBack(false);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kFileManagerService, kFileManagerPath,
                                                       kFileManagerInterface, "ShowItems");
    call << QStringList{fileUri(absolutePath)} << QString();
    // Asynchronous: the interface must not wait on a file manager that hangs.
    auto* watcher =
        new QDBusPendingCallWatcher(bus.asyncCall(call, timeoutMs), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [fallBack](QDBusPendingCallWatcher* w) {
                         const bool shown = !w->isError();
                         w->deleteLater();
                         fallBack(shown);
                     });
}

void revealDocument(const QByteArray& absolutePath) {
#if defined(Q_OS_MACOS)
    // The Mac's file systems hold names in UTF-8.
    startOsascript(QString::fromUtf8(absolutePath));
#else
    showOnBus(absolutePath, QDBusConnection::sessionBus());
#endif
}

} // namespace qmk::Reveal
