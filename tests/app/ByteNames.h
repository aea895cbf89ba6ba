// File names as the file system holds them (bytes, not always UTF-8), for the tests
// of names that text cannot carry.
#pragma once

#include <QByteArrayList>
#include <QString>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace qmk::test {

// The names in a folder, sorted.
inline QByteArrayList byteNamesIn(const QByteArray& folder) {
    QByteArrayList names;
    if (DIR* d = ::opendir(folder.constData())) {
        while (const dirent* e = ::readdir(d))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names << QByteArray(e->d_name);
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline bool existsAsBytes(const QByteArray& path) {
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

inline bool writeBytesFile(const QByteArray& path, const std::string& bytes) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    return ::close(fd) == 0 && ok;
}

// A shell word that expands to exactly these bytes (a QProcess argument is text,
// and could not carry them).
inline QString shellWord(const QByteArray& bytes) {
    QString w = "\"$(printf '";
    for (const char c : bytes)
        w += QString("\\%1").arg(uint(uchar(c)), 3, 8, QChar('0'));
    return w + "')\"";
}

// Removes a folder and everything in it, names that are not UTF-8 too (QDir's
// removal passes over them).
inline void removeAll(const QByteArray& folder) {
    std::error_code ignored;
    std::filesystem::remove_all(folder.toStdString(), ignored);
}

} // namespace qmk::test
