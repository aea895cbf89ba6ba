#include "app/FileNames.h"

#include <QFile>
#include <QUrl>

#include <dirent.h>

namespace qmk {

namespace {

const QByteArray kReplacement = "\xEF\xBF\xBD"; // U+FFFD in UTF-8

FolderItem fileOfBytes(const QByteArray& bytes) {
    return FolderItem(std::filesystem::path(bytes.toStdString()));
}

// Whether the name is in the folder and no other name there reads as it does.
bool onlyNameReadingSo(const QByteArray& folder, const QByteArray& name) {
    DIR* d = ::opendir(folder.isEmpty() ? "." : folder.constData());
    if (!d)
        return false;
    const QString text = QFile::decodeName(name);
    bool found = false, other = false;
    while (const dirent* e = ::readdir(d)) {
        const QByteArray entry(e->d_name);
        if (entry == name)
            found = true;
        else if (QFile::decodeName(entry) == text)
            other = true;
    }
    ::closedir(d);
    return found && !other;
}

// Text with a replacement character may have come from a name that is not UTF-8:
// each such part of the path must be the one name of its folder that reads so.
bool namesOneFile(const QByteArray& bytes) {
    if (!bytes.contains(kReplacement))
        return true;
    qsizetype start = bytes.startsWith('/') ? 1 : 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('/', start);
        if (end < 0)
            end = bytes.size();
        const QByteArray part = bytes.mid(start, end - start);
        if (part.contains(kReplacement) && !onlyNameReadingSo(bytes.left(start), part))
            return false;
        start = end + 1;
    }
    return true;
}

} // namespace

QByteArray absoluteName(const QByteArray& name) {
    std::error_code failed;
    const auto absolute = std::filesystem::absolute(name.toStdString(), failed);
    return failed ? name : QByteArray::fromStdString(absolute.string());
}

std::optional<FolderItem> fileOfText(const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    if (bytes.isEmpty() || !namesOneFile(bytes))
        return std::nullopt;
    return fileOfBytes(bytes);
}

std::optional<FolderItem> fileOfLocalUrl(const QUrl& url) {
    if (!url.isLocalFile())
        return std::nullopt;
    // The encoded form keeps bytes that are not UTF-8 as they came.
    QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (bytes.isEmpty())
        return std::nullopt;
    if (const QString host = url.host(); !host.isEmpty())
        bytes = "//" + QFile::encodeName(host) + bytes;
    if (!namesOneFile(bytes))
        return std::nullopt;
    return fileOfBytes(bytes);
}

QString unreadableNameMessage() {
    return QStringLiteral("nom de fichier illisible (caractères non reconnus) : le document "
                          "n'est pas ouvert, pour ne pas en convertir un autre à sa place");
}

} // namespace qmk
