#include "app/Reveal.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

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

QString fileUri(const QString& absolutePath) {
    return QUrl::fromLocalFile(absolutePath).toString(QUrl::FullyEncoded);
}

bool openContainingFolder(const QString& absolutePath, const QString& program) {
    // An absolute folder path begins with '/', so it can never pass for an option.
    const QString folder = QFileInfo(QFileInfo(absolutePath).absoluteFilePath()).absolutePath();
    return startQuietly(program, {folder});
}

void showOnBus(const QString& absolutePath, const QDBusConnection& bus,
               std::function<void(bool shown)> done, const QString& opener, int timeoutMs) {
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

void revealDocument(const QString& absolutePath) {
#if defined(Q_OS_MACOS)
    startOsascript(absolutePath);
#else
    showOnBus(absolutePath, QDBusConnection::sessionBus());
#endif
}

} // namespace qmk::Reveal
