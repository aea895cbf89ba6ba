// The main window: the drop view and the conversion view, the state of the running
// conversion, the worker thread and its interface timer, and the two side panels.
#pragma once

#include "model/ConversionState.h"

#include <QPointer>
#include <QWidget>

class QAction;
class QLabel;
class QMenu;
class QTimer;

namespace qmk {

class AnimationView;
class ConvertThread;
class DropBox;
class StatusRect;
class wErrors;
class wQueue;

class wMain : public QWidget {
    Q_OBJECT
  public:
    // The size of the content area, below the menu bar where the platform puts it there.
    static constexpr int kWidth = 388;
    static constexpr int kHeight = 234;
    // How long quitting waits for the worker to reach its next pause or yield.
    static constexpr int kQuitGraceMs = 3000;

    wMain();
    ~wMain() override;

    // The conversion fields, shared with the reader, the writer and the worker.
    ConversionState& state() { return state_; }

    // The queue panel of the running batch, or none; set and cleared by the file
    // intake and the batch driver.
    wQueue* queue = nullptr;
    // The error panel, or none: created by addError, cleared when the user closes it.
    QPointer<wErrors> errors;

    // Controls.
    QWidget* content() const { return content_; }
    AnimationView* ccConvert() const { return ccConvert_; }
    StatusRect* statusRec() const { return statusRec_; }
    QLabel* stStatus() const { return stStatus_; }
    QLabel* stDrop() const { return stDrop_; }
    DropBox* ccDropFile() const { return ccDropFile_; }
    ConvertThread* convertThread() const { return convertThread_; }
    QTimer* convertTimer() const { return convertTimer_; }

    // The entries of the window's menu bar, looked up by name.
    QMenu* EditMenu() const;
    QAction* EditSelectAll() const;
    QAction* EditSeparator2() const;
    QAction* EditClear() const;
    QAction* EditPaste() const;
    QAction* EditCopy() const;
    QAction* EditCut() const;
    QAction* EditSeparator1() const;
    QAction* EditUndo() const;
    QMenu* FileMenu() const;
    QAction* FileQuit() const;

    // True: the conversion view (status "Initialisation de la conversion…");
    // false: the drop view, with the normal drop-box look.
    void DisplayConversion(bool conversionView);
    // Shows the text in its look (finished for exactly the converted text, progress
    // for any other) and applies the pending window title.
    void updateStatus(const QString& text);

    // Files one refusal in the error panel, creating the panel on first use.
    void addError(const QString& name, const QString& message);

    // The window closes: quits unless the close is already part of quitting. Never
    // cancels the close.
    bool Event_CancelClose(bool appQuitting);

    // The drop zone's look while files are dragged over the window, and after.
    void Event_DragOver();
    void Event_DragExit();

    void ccDropFile_MouseEnter();
    void ccDropFile_MouseExit();
    bool ccDropFile_MouseDown(int x, int y);

    // --- File intake and batch driver ------------------------------------------------
    // Built with the next issue, in this window: startConversion (DisplayConversion(true),
    // then convertThread()->Run()), convertTimer_Action (on convertTimer's timeout),
    // findNext, EndConversion, and the intake roads Event_DropObject, openFile and the
    // documents handed over by the desktop. Until then:
    // The open dialog road; does nothing yet.
    void openFile();

  protected:
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dragLeaveEvent(QDragLeaveEvent* e) override;
    void dropEvent(QDropEvent* e) override;

  private:
    void Layout();
    void CreateControls();
    void Event_Open();

    ConversionState state_;
    QWidget* content_ = nullptr;
    AnimationView* ccConvert_ = nullptr;
    StatusRect* statusRec_ = nullptr;
    QLabel* stStatus_ = nullptr;
    QLabel* stDrop_ = nullptr;
    DropBox* ccDropFile_ = nullptr;
    ConvertThread* convertThread_ = nullptr;
    QTimer* convertTimer_ = nullptr;
};

} // namespace qmk
