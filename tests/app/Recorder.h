// A stand-in for a program the converter starts (xdg-open, osascript): it writes
// its arguments, NUL-separated, to <itself>.args, all at once, so that the file's
// presence tells the program ran and its content is complete. Programs that the
// tests start reveal through one (keepFromFileManager), never on the desktop.
#pragma once

#include <QByteArrayList>
#include <QFile>
#include <QProcessEnvironment>
#include <QString>

namespace qmk::test {

inline QString writeRecorder(const QString& dir, const QString& name) {
    const QString path = dir + "/" + name;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write("#!/bin/sh\n"
            "out=\"$0.args\"\n"
            ": > \"$out.tmp\"\n"
            "for a in \"$@\"; do printf '%s\\0' \"$a\" >> \"$out.tmp\"; done\n"
            "mv \"$out.tmp\" \"$out\"\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

inline QByteArrayList recordedBytes(const QString& program) {
    QFile f(program + ".args");
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QByteArrayList args = f.readAll().split('\0');
    args.removeLast(); // after the last NUL
    return args;
}

// Keeps a program that a test starts away from the desktop's file manager: no
// session bus answers it (an address below a file, where no bus can listen, so
// the bus library starts none either), and its reveal falls back to the first
// xdg-open on the PATH, the recorder in dir (writeRecorder(dir, "xdg-open")).
inline void keepFromFileManager(QProcessEnvironment& env, const QString& dir) {
    env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/dev/null/no-bus");
    env.insert("PATH", dir + ":" + env.value("PATH"));
}

} // namespace qmk::test
