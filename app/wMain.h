// The main window: the drop view and the conversion view, the state of the running
// conversion, the worker thread and its interface timer, and the two side panels.
#pragma once

#include "app/wQueue.h"
#include "model/ConversionHandoff.h"

#include <QList>
#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <functional>

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

    // The hand-off with the worker: current file, texts, message, busy flag.
    ConversionHandoff& state() { return state_; }

    // The queue panel of the running batch, or none; set by the file intake,
    // cleared by EndConversion (the panel itself closes and goes after its slide-in).
    QPointer<wQueue> queue;
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
    // for any other) and applies the window title: the one taken with the text
    // from the worker, or else the current one.
    void updateStatus(const QString& text);
    void updateStatus(const QString& text, const QString& title);

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

    // --- Batch driver --------------------------------------------------------------
    // The conversion view, then the worker on the current file.
    void startConversion();
    // Every 100 ms while a file is converted: applies the worker's status and title;
    // once the file is done, files its message, switches itself off and moves on to
    // the next file or ends the batch.
    void convertTimer_Action();
    // Drops the finished file; true when a next one has become current.
    bool findNext();
    // The queue panel slides in, the drop view returns, and the last document
    // written in the run (if it still exists) is revealed, once.
    void EndConversion();

    // --- File intake -----------------------------------------------------------------
    // A drop: the drag's items, in order. A first item that is no file gets the
    // message "Fichier non reconnu"; later ones are skipped.
    void Event_DropObject(const QList<QUrl>& items);
    // The open dialog: any files, several at once, always from lastOpenFolder.
    void openFile();
    // What every road does with its files: while a batch runs (its queue panel
    // is held, from the intake to the end of the batch, and nothing else can
    // close it) they join it; otherwise the first becomes current and a new
    // batch starts on them. So no batch starts while the worker is busy.
    void takeFiles(SharedFileList files);

    // --- Replaceable for tests ---------------------------------------------------------
    // Shows a message; a window-modal box by default.
    std::function<void(const QString& text)> MsgBox;
    // Runs the open dialog from the folder; the chosen paths, none when cancelled.
    std::function<QStringList(const QString& startDir)> OpenDialog;
    // Reveals a document in the file manager; the result is not looked at. The path
    // is the file system's bytes.
    std::function<void(const QByteArray& absolutePath)> RevealDocument;

  signals:
    // After every updateStatus: the text shown and the title applied.
    void statusApplied(const QString& text, const QString& title);

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
    // A new batch on the files (element 0 is current): the queue panel is created
    // on the list, held in `queue` and shown; the end of its slide-out starts the
    // first conversion.
    void startBatch(SharedFileList files);
    // The drag has left or dropped: the drop zone's look after a drag, if it showed
    // the hover look.
    void endHoverLook();

    ConversionHandoff state_;
    QWidget* content_ = nullptr;
    AnimationView* ccConvert_ = nullptr;
    StatusRect* statusRec_ = nullptr;
    QLabel* stStatus_ = nullptr;
    QLabel* stDrop_ = nullptr;
    DropBox* ccDropFile_ = nullptr;
    ConvertThread* convertThread_ = nullptr;
    QTimer* convertTimer_ = nullptr;
    // The drag over the window carries a file (only such a drag shows the hover look).
    bool fileDrag_ = false;
};

} // namespace qmk
