// The one menu bar of the run, shared by the application and the main window.
#pragma once

#include <QMenuBar>

class QAction;
class QMenu;

namespace qmk {

class MainMenuBar : public QMenuBar {
    Q_OBJECT
  public:
    // The global instance, created and built at the first call. It lasts until the
    // process ends: a window that shows it hands it back when it goes.
    static MainMenuBar* instance();

    QMenu* FileMenu() const { return fileMenu_; }
    QMenu* EditMenu() const { return editMenu_; }
    // An entry by its name ("FileQuit", "EditCut", "EditSeparator1", …), or null.
    QAction* entry(const QString& name) const;

  private:
    MainMenuBar();
    void Untitled0();
    void Untitled1();
    QAction* addEntry(QMenu* menu, const QString& name, const QString& text,
                      const QString& shortcut);

    QMenu* fileMenu_ = nullptr;
    QMenu* editMenu_ = nullptr;
};

} // namespace qmk
