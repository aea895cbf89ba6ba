// Where the program finds its pictures and its animation: the folder "Resources"
// beside the folder of its executable (bin/…  beside  Resources/).
#pragma once

#include <QPixmap>
#include <QString>

namespace qmk {

// The Resources folder of an executable: its folder's parent, then "Resources".
QString ResourcesFolderOf(const QString& executablePath);
// The program's Resources folder (of its own executable, unless tests chose another).
QString ResourcesFolder();
// Tests point the program at a folder of their own; an empty path goes back to the executable's.
void SetResourcesFolder(const QString& folder);

// The animation of the conversion view, in the program's Resources folder.
QString AnimationFile();
// "file://" and the native path with every blank written "%20"; nothing else is escaped.
QString AnimationURL(const QString& nativePath);
// The path back from such a URL; an empty text for anything that is not a "file://" URL.
QString PathFromAnimationURL(const QString& url);

// A picture of the Resources folder, opened at its first use and kept for the run.
// A failed open leaves the cache empty and is tried again at the next call.
class PictureCache {
  public:
    explicit PictureCache(QString fileName) : fileName_(std::move(fileName)) {}
    // The picture, or a null pixmap when it cannot be opened. Interface thread only.
    QPixmap get();

  private:
    QString fileName_;
    QPixmap picture_;
};

// The drop box's normal and hover pictures; null when the file cannot be opened.
QPixmap icondropbox();
QPixmap icondropboxhover();

} // namespace qmk
