#include "app/Resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace qmk {

namespace {
QString& folderOverride() {
    static QString f;
    return f;
}
} // namespace

QString ResourcesFolderOf(const QString& executablePath) {
    // By the names alone: the folders need not exist.
    const QString folder = QFileInfo(executablePath).absolutePath();
    return QDir::cleanPath(QFileInfo(folder).path() + "/Resources");
}

QString ResourcesFolder() {
    if (!folderOverride().isEmpty())
        return folderOverride();
    return ResourcesFolderOf(QCoreApplication::applicationFilePath());
}

void SetResourcesFolder(const QString& folder) {
    folderOverride() = folder;
}

QString AnimationFile() {
    return ResourcesFolder() + "/convert-animation.gif";
}

QString AnimationURL(const QString& nativePath) {
    QString p = nativePath;
    return "file://" + p.replace(" ", "%20");
}

QString PathFromAnimationURL(const QString& url) {
    static const QString scheme = "file://";
    if (!url.startsWith(scheme))
        return {};
    QString p = url.mid(scheme.size());
    return p.replace("%20", " ");
}

QPixmap PictureCache::get() {
    if (picture_.isNull()) {
        QPixmap p;
        if (p.load(ResourcesFolder() + "/" + fileName_))
            picture_ = p;
    }
    return picture_;
}

QPixmap icondropbox() {
    static PictureCache cache("icon-drop-box.png");
    return cache.get();
}

QPixmap icondropboxhover() {
    static PictureCache cache("icon-drop-box-hover.png");
    return cache.get();
}

} // namespace qmk
