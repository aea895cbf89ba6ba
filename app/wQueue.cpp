#include "app/wQueue.h"

#include "app/wMain.h"
#include "platform/Localization.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QPainter>
#include <QResizeEvent>
#include <QWindow>

#include <algorithm>
#include <thread>

namespace qmk {

namespace {

// The list keeps 0 pixels to the panel's left edge and 2 to its other edges.
constexpr int kListLeft = 0;
constexpr int kListMargin = 2;

} // namespace

QString wQueue::kQueue(const std::string& language) {
    return QString::fromStdString(
        GetLocalizedString("wQueue.kQueue", "Fichiers à convertir", language));
}

wQueue::wQueue(wMain* mainWindow, SharedFileList files, std::function<void()> slideOutFinished)
    : QWidget(mainWindow, Qt::Tool | Qt::FramelessWindowHint),
      filesToImport_(files ? std::move(files) : std::make_shared<FileList>()), parent_(mainWindow),
      slideOutFinished_(std::move(slideOutFinished)) {
    // The window as laid out; show() gives it its real geometry. Its minimum
    // is left at the platform's own so the slide can start from (almost) 0.
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString());
    resize(234, 204);
    ownWidths_.insert(234);

    lbQueue_ = new StripedList(this);
    lbQueue_->setColumnCount(1);
    lbQueue_->setHeaderLabels({kQueue()});
    lbQueue_->header()->setSectionsClickable(false);
    lbQueue_->header()->setSectionsMovable(false);
    lbQueue_->header()->setStretchLastSection(true);
    lbQueue_->setSortingEnabled(false);
    lbQueue_->setRootIsDecorated(false);
    lbQueue_->setIndentation(0);
    lbQueue_->setItemsExpandable(false);
    lbQueue_->setSelectionMode(QAbstractItemView::NoSelection);
    lbQueue_->setDragEnabled(false);
    lbQueue_->setFocusPolicy(Qt::NoFocus);
    lbQueue_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lbQueue_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lbQueue_->CellBackgroundPaint = [this](QPainter& g, int row, int column, const QRect& cell) {
        return lbQueue_CellBackgroundPaint(g, row, column, cell);
    };
    lbQueue_->setEnabled(false);
    // The list takes no input, yet the names are what the panel is for: the heading
    // and the rows keep an enabled list's colours, not the faded ones. On the faded
    // background the odd rows would hardly differ from the even rows' fill.
    QPalette readable = lbQueue_->palette();
    for (const auto role :
         {QPalette::Text, QPalette::WindowText, QPalette::ButtonText, QPalette::Base})
        readable.setColor(QPalette::Disabled, role, readable.color(QPalette::Active, role));
    lbQueue_->setPalette(readable);
    layoutList();

    showAnimation_ = new QTimer(this);
    showAnimation_->setInterval(kPeriodMs);
    showAnimation_->setTimerType(Qt::PreciseTimer);
    connect(showAnimation_, &QTimer::timeout, this, &wQueue::showAnimation_Action);
    hideAnimation_ = new QTimer(this);
    hideAnimation_->setInterval(kPeriodMs);
    hideAnimation_->setTimerType(Qt::PreciseTimer);
    connect(hideAnimation_, &QTimer::timeout, this, &wQueue::hideAnimation_Action);

    lbQueue_->clear();
    // The bound is read again on every pass: the list is the caller's.
    for (size_t i = 0; i < filesToImport_->size(); ++i) {
        appendRow((*filesToImport_)[i]);
        // Not the worker's pacer: a stopped worker must not fail the interface.
        std::this_thread::yield();
    }
}

void wQueue::show() {
    setVisible(true);
}

void wQueue::setVisible(bool visible) {
    if (!visible || slideOutStarted_ || !parent_) {
        QWidget::setVisible(visible);
        return;
    }
    slideOutStarted_ = true;
    width_ = 0;
    place();
    applyWidth(0);
    QWidget::setVisible(true);
    showAnimation_->start();
    // Right after start-up the main window may not be on the screen yet: the
    // desktop has still to frame it, which moves its content down. The slide
    // goes on meanwhile; the panel takes its place again once the window shows.
    if (QWindow* main = parent_->windowHandle(); main && !main->isExposed())
        main->installEventFilter(this);
}

wMain* wQueue::parentWindow() const {
    return parent_;
}

void wQueue::place() {
    const QRect frame = parent_->frameGeometry();
    const QWidget* content = parent_->content();
    const QPoint contentTop = content->mapToGlobal(QPoint(0, 0));
    setGeometry(frame.x() + frame.width(), contentTop.y(), std::max(width(), 1),
                content->height() - 2);
}

bool wQueue::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Expose && parent_ && watched == parent_->windowHandle() &&
        parent_->windowHandle()->isExposed()) {
        watched->removeEventFilter(this);
        place();
    }
    return QWidget::eventFilter(watched, event);
}

void wQueue::showAnimation_Action() {
    if (width_ < kOpenWidth) {
        applyWidth(width_ + kStep);
        return;
    }
    showAnimation_->stop();
    if (slideOutFinished_)
        slideOutFinished_();
}

void wQueue::animatedHide() {
    hideAnimation_->start();
}

void wQueue::hideAnimation_Action() {
    if (width_ > 0 && counter_ < kMaxHideSteps) {
        applyWidth(width_ - kStep);
        ++counter_;
        return;
    }
    hideAnimation_->stop();
    slideInEnded_ = true;
    close();
}

void wQueue::addFile(const std::optional<FolderItem>& file) {
    if (!file || file->path().empty())
        return;
    filesToImport_->push_back(*file);
    appendRow(*file);
}

void wQueue::removeFile() {
    // The driver calls this only while the finished file is first; an empty
    // list is left alone rather than failing at the end of a batch.
    if (filesToImport_->empty())
        return;
    delete lbQueue_->takeTopLevelItem(0);
    filesToImport_->erase(filesToImport_->begin());
}

bool wQueue::lbQueue_CellBackgroundPaint(QPainter& g, int row, int /*column*/, const QRect& cell) {
    if (row % 2 == 0)
        g.fillRect(cell, evenRowColor());
    return false;
}

void wQueue::appendRow(const FolderItem& file) {
    auto* item = new QTreeWidgetItem(lbQueue_);
    item->setText(0, QString::fromStdString(file.Name()));
}

void wQueue::applyWidth(int w) {
    width_ = w;
    // A window cannot be narrower than one pixel; the slide keeps counting from
    // its own width so the steps stay 0, 20, … 220.
    const int real = std::max(w, 1);
    ownWidths_.insert(real);
    // Minimised with the main window, the panel keeps its size until it is back: a
    // window that may not be minimised on its own (openbox's rule for such a panel)
    // is brought back as soon as it changes, and the main window with it.
    if (isMinimized())
        return;
    resize(real, height());
}

void wQueue::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Back on the screen: the width the slide has reached meanwhile.
    if (event->type() == QEvent::WindowStateChange && !isMinimized()) {
        if (const int real = std::max(width_, 1); real != width())
            resize(real, height());
    }
}

void wQueue::layoutList() {
    const int w = std::max(0, width() - kListLeft - kListMargin);
    const int h = std::max(0, height() - 2 * kListMargin);
    lbQueue_->setGeometry(kListLeft, kListMargin, w, h);
}

void wQueue::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // A resize from outside the slide (the user's, through the window manager)
    // is the panel's new width; the slide goes on from there. The window system
    // also reports the slide's own sizes, late at times, once the slide has moved
    // on: those are not taken back.
    if (const int w = event->size().width(); !ownWidths_.count(w)) {
        width_ = w;
        ownWidths_.insert(w);
    }
    layoutList();
}

void wQueue::closeEvent(QCloseEvent* event) {
    // The panel holds the batch's files: closed from outside, the files still
    // queued would never be converted and the next intake would start a second
    // batch under the running conversion.
    if (!slideInEnded_) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

} // namespace qmk
