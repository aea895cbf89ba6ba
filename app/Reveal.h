// The end-of-batch reveal: the file manager shows the last written document.
//
// On macOS the Finder reveals it through osascript; the program runs osascript
// itself with the two statements as its arguments, never through a shell, and
// the path inside the AppleScript string is escaped, so no part of a path is
// ever read as a command. On Linux the session's file manager is asked over
// D-Bus (org.freedesktop.FileManager1.ShowItems); when none answers, the
// containing folder is opened with xdg-open, again without a shell. There a path
// is the file system's bytes, not always UTF-8: it travels as those bytes, never
// as their reading as text, which could name another file.
#pragma once

#include <QByteArray>
#include <QDBusConnection>
#include <QString>
#include <QStringList>

#include <functional>

namespace qmk::Reveal {

// The reveal command as one command line: the first piece, the path as it is,
// then the last piece. Kept for what it names; it is never handed to a shell.
inline constexpr const char* kCommandFirst =
    "osascript -e 'Tell application \"Finder\" to reveal \"";
inline constexpr const char* kCommandLast = "\"' -e 'Tell application \"Finder\" to activate'";
QString commandText(const QString& absolutePath);

// The path as the inside of an AppleScript string literal: backslash and
// double quote are escaped with a backslash.
QString appleScriptString(const QString& text);

// osascript's arguments: -e, the reveal statement with the escaped path, -e,
// the activate statement.
QStringList osascriptArguments(const QString& absolutePath);

// Starts osascript (or the given program) on those arguments, detached,
// without a shell. False when it could not be started.
bool startOsascript(const QString& absolutePath, const QString& program = "osascript");

// The document's file:// URI: its bytes percent-encoded, all but the unreserved
// characters and the slashes.
QString fileUri(const QByteArray& absolutePath);

// The folder holding the document, as bytes.
QByteArray containingFolder(const QByteArray& absolutePath);

// Opens the folder holding the document with xdg-open (or the given program, found
// on the PATH unless it holds a slash), detached, without a shell; the program
// gets the folder's bytes as its one argument. False when it could not be started.
bool openContainingFolder(const QByteArray& absolutePath, const QByteArray& program = "xdg-open");

// Asks the file manager on the bus to show the document. When no file manager
// answers (no bus, no such service, an error or no reply in time), the folder
// is opened instead. Returns at once; done, if given, runs on this thread with
// true when the file manager took the request.
void showOnBus(const QByteArray& absolutePath, const QDBusConnection& bus,
               std::function<void(bool shown)> done = {}, const QByteArray& opener = "xdg-open",
               int timeoutMs = 5000);

// The one entry point: reveals the document the platform's way; the result is
// not looked at.
void revealDocument(const QByteArray& absolutePath);

} // namespace qmk::Reveal
