// Names of files are the file system's bytes. The roads that bring a name as text
// (the open dialog, and a drag item's URL) are turned back into those bytes, and a
// name whose text may be the lossy reading of another name is refused: never is
// another file opened in its place.
#pragma once

#include "platform/FolderItem.h"

#include <QByteArray>
#include <QString>

#include <optional>

class QUrl;

namespace qmk {

// The name made absolute against the current folder, as bytes; as it is when the
// current folder cannot be had.
QByteArray absoluteName(const QByteArray& name);

// The file a path given as text names (the bytes it encodes to), or none when it
// holds replacement characters and does not name exactly one file as it reads.
std::optional<FolderItem> fileOfText(const QString& path);

// The same for the path of a local file URL, from its percent-decoded bytes.
std::optional<FolderItem> fileOfLocalUrl(const QUrl& url);

// The refusal of such a name, for the error panel.
QString unreadableNameMessage();

} // namespace qmk
