// The application object: version data, the one main window, and quitting.
#pragma once

#include <QObject>
#include <QString>

#include <memory>

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
    // Documents handed to the program by the desktop join the intake of the main
    // window; that road is built with the file intake.

    wMain* mainWindow() const { return mainWindow_.get(); }
    const VersionData& version() const { return version_; }
    void setVersionData(int major, int minor, int bug, int nonRelease, int stage,
                        const QString& longVersion, const QString& shortVersion,
                        const QString& packageInfo);

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
