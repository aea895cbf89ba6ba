#include "app/MainMenuBar.h"

#include "app/App.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

namespace qmk {

MainMenuBar* MainMenuBar::instance() {
    static QPointer<MainMenuBar> bar;
    if (!bar)
        bar = new MainMenuBar();
    return bar;
}

MainMenuBar::MainMenuBar() : QMenuBar(nullptr) {
    setObjectName("MainMenuBar");
    Untitled0();
    Untitled1();
}

QAction* MainMenuBar::entry(const QString& name) const {
    return findChild<QAction*>(name);
}

// Shortcuts are written with Ctrl: Qt shows and takes them as Command on macOS.
// They work from every window of the program, so a side panel in front does not
// take the menu bar away.
QAction* MainMenuBar::addEntry(QMenu* menu, const QString& name, const QString& text,
                               const QString& shortcut) {
    auto* a = new QAction(this);
    a->setObjectName(name);
    a->setVisible(true);
    if (text == "-") {
        // "-" marks a separator; as a caption some styles would draw it beside the line.
        a->setSeparator(true);
    } else {
        a->setText(text);
        a->setShortcut(QKeySequence(shortcut));
        a->setShortcutContext(Qt::ApplicationShortcut);
    }
    menu->addAction(a);
    return a;
}

void MainMenuBar::Untitled0() {
    fileMenu_ = new QMenu("&File", this);
    fileMenu_->setObjectName("FileMenu");
    fileMenu_->menuAction()->setObjectName("FileMenu");
    addMenu(fileMenu_);
    QAction* quit = addEntry(fileMenu_, "FileQuit", "&Quit", "Ctrl+Q");
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, this, [] { Quit(0); });
}

void MainMenuBar::Untitled1() {
    editMenu_ = new QMenu("&Edit", this);
    editMenu_->setObjectName("EditMenu");
    editMenu_->menuAction()->setObjectName("EditMenu");
    addMenu(editMenu_);
    // Undo has no handler anywhere: nothing in the program can be undone.
    addEntry(editMenu_, "EditUndo", "&Undo", "Ctrl+Z");
    addEntry(editMenu_, "EditSeparator1", "-", "");
    addEntry(editMenu_, "EditCut", "Cu&t", "Ctrl+X");
    addEntry(editMenu_, "EditCopy", "&Copy", "Ctrl+C");
    addEntry(editMenu_, "EditPaste", "&Paste", "Ctrl+V");
    addEntry(editMenu_, "EditClear", "&Delete", "");
    addEntry(editMenu_, "EditSeparator2", "-", "");
    addEntry(editMenu_, "EditSelectAll", "Select &All", "Ctrl+A");
}

} // namespace qmk
