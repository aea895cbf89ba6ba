// The queue panel: a narrow borderless window that slides out of the main
// window's right edge when a batch starts, lists the queued documents (the one
// being converted first) and slides back in when the batch ends.
//
// The panel also holds the batch's list of files: the intake hands its list
// over and the batch driver reaches it only through the panel. The list is
// shared, never copied, so the intake's object and filesToImport() are one.
#pragma once

#include "app/Controls.h"
#include "platform/FolderItem.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace qmk {

using FileList = std::vector<FolderItem>;
using SharedFileList = std::shared_ptr<FileList>;

class wMain;

class wQueue : public QWidget {
    Q_OBJECT

  public:
    // The list's heading, "wQueue.kQueue".
    static QString kQueue(const std::string& language = "");

    // Widths of the slide: steps of 20 every 10 ms, open at 220, at most 15
    // steps back in.
    static constexpr int kStep = 20;
    static constexpr int kOpenWidth = 220;
    static constexpr int kMaxHideSteps = 15;
    static constexpr int kPeriodMs = 10;

    // mainWindow gives the placement and becomes the panel's Qt parent (the
    // panel stays a window of its own, above it). slideOutFinished runs once,
    // on the tick that finds the panel open: the batch driver passes its
    // startConversion. A null list is taken as an empty one.
    wQueue(wMain* mainWindow, SharedFileList files, std::function<void()> slideOutFinished);

    // Places the panel against the main window's right edge, from the top of
    // its content area and 2 pixels shorter than it, width 0, shows it and
    // starts the slide-out. A main window that the desktop has not yet put on
    // the screen (and framed) is waited for: the panel is placed again once it
    // shows. It hides QWidget::show; a plain setVisible(true) also goes through
    // it. The slide-out runs once per panel.
    void show();
    void setVisible(bool visible) override;

    // Appends one file; a missing file (none, or an empty path) is ignored.
    void addFile(const std::optional<FolderItem>& file);
    // Removes the first file (the one just finished); nothing when empty.
    void removeFile();
    // Starts the slide-in; at its end the panel closes (and is deleted). Only
    // this closes the panel: a close request from the window manager, a
    // shortcut or anything else is refused, so the batch it holds goes on.
    void animatedHide();

    const SharedFileList& filesToImport() const { return filesToImport_; }
    wMain* parentWindow() const;
    int64_t counter() const { return counter_; }
    // The panel's width as the slide sees it. Below the platform's smallest
    // window width the window itself stays at that smallest width.
    int panelWidth() const { return width_; }

    StripedList* lbQueue() const { return lbQueue_; }
    QTimer* showAnimation() const { return showAnimation_; }
    QTimer* hideAnimation() const { return hideAnimation_; }

    // One tick of each slide (public so the step rule can be driven tick by tick).
    void showAnimation_Action();
    void hideAnimation_Action();

    // Paints the background of a cell of the list: even rows get #EFEEFF.
    // Returns false, so the list's own drawing still applies.
    bool lbQueue_CellBackgroundPaint(QPainter& g, int row, int column, const QRect& cell);

    static QColor evenRowColor() { return QColor(0xEF, 0xEE, 0xFF); }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Top, left and height from the main window as it is now.
    void place();
    void applyWidth(int w);
    void appendRow(const FolderItem& file);
    void layoutList();

    SharedFileList filesToImport_;
    QPointer<wMain> parent_;
    int64_t counter_ = 0;
    int width_ = 234;
    // Every width the panel has given itself, to tell the window system's
    // reports of them from a resize made outside.
    std::set<int> ownWidths_;
    bool slideOutStarted_ = false;
    bool slideInEnded_ = false;
    std::function<void()> slideOutFinished_;
    StripedList* lbQueue_ = nullptr;
    QTimer* showAnimation_ = nullptr;
    QTimer* hideAnimation_ = nullptr;
};

} // namespace qmk
