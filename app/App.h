// The application object: version data, the one main window, and quitting.
#pragma once

#include "app/SingleInstance.h"
#include "platform/FolderItem.h"

#include <QByteArrayList>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace qmk {

class wMain;

struct VersionData {
    int MajorVersion = 0;
    int MinorVersion = 0;
    int BugVersion = 0;
    int NonReleaseVersion = 0;
    int StageCode = 0;
    QString LongVersion;
    QString ShortVersion;
    QString PackageInfo;
};

class App : public QObject {
    Q_OBJECT
  public:
    App();
    ~App() override;

    // The one application object of the run, or null before NewAppInstance.
    static App* instance();

    // Creates the main window once; the window lives until the application ends.
    void Event_Open();
    // A document the desktop asks the program to open: it starts a batch, or joins
    // the running one. None is ignored. Opens the main window first if need be.
    void Event_OpenDocument(const std::optional<FolderItem>& file);
    // Names as the file system's bytes (made absolute against the current folder)
    // as documents to open, in order.
    void openDocuments(const QByteArrayList& names);
    // Files named on the command line at start: they arrive as documents to open, in
    // their order, once the main window has opened.
    void openAtStart(const QByteArrayList& names);
    // One program per user: HandedOver when a program already running took the
    // files (this one then exits); Listening when this one is the running program,
    // and the files of later launches arrive as documents to open; Alone when it
    // could do neither.
    SingleInstance::Role handOverOrListen(SingleInstance& instance, const QByteArrayList& files);

    wMain* mainWindow() const { return mainWindow_.get(); }
    const VersionData& version() const { return version_; }
    void setVersionData(int major, int minor, int bug, int nonRelease, int stage,
                        const QString& longVersion, const QString& shortVersion,
                        const QString& packageInfo);

  protected:
    // The desktop's file-open events (macOS) are documents to open.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::unique_ptr<wMain> mainWindow_;
    VersionData version_;
};

// Creates the application object, gives it its version data and installs the menu bar.
// Needs a QApplication.
std::unique_ptr<App> NewAppInstance();

// Ends the event loop with the code; the worker is stopped as the loop ends (see wMain).
void Quit(int code);
// True from a Quit until the event loop has ended.
bool Quitting();

} // namespace qmk
