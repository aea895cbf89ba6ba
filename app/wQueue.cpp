#include "app/wQueue.h"

#include "platform/Localization.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QPainter>
#include <QResizeEvent>
#include <QStyledItemDelegate>

#include <algorithm>
#include <thread>

namespace qmk {

namespace {

// Hands each cell's background to the panel before the usual drawing.
class QueueRowDelegate : public QStyledItemDelegate {
  public:
    QueueRowDelegate(wQueue* panel) : QStyledItemDelegate(panel), panel_(panel) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        painter->save();
        const bool handled =
            panel_->lbQueue_CellBackgroundPaint(*painter, index.row(), index.column(), option.rect);
        painter->restore();
        if (!handled)
            QStyledItemDelegate::paint(painter, option, index);
    }

  private:
    wQueue* panel_;
};

// The list keeps 0 pixels to the panel's left edge and 2 to its other edges.
constexpr int kListLeft = 0;
constexpr int kListMargin = 2;

} // namespace

QString wQueue::kQueue(const std::string& language) {
    return QString::fromStdString(
        GetLocalizedString("wQueue.kQueue", "Fichiers à convertir", language));
}

wQueue::wQueue(QWidget* mainWindow, SharedFileList files, std::function<void()> slideOutFinished)
    : QWidget(mainWindow, Qt::Tool | Qt::FramelessWindowHint),
      filesToImport_(files ? std::move(files) : std::make_shared<FileList>()), parent_(mainWindow),
      slideOutFinished_(std::move(slideOutFinished)) {
    // The window as laid out; show() gives it its real geometry. Its minimum
    // is left at the platform's own so the slide can start from (almost) 0.
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString());
    resize(234, 204);

    lbQueue_ = new QTreeWidget(this);
    lbQueue_->setColumnCount(1);
    lbQueue_->setHeaderLabels({kQueue()});
    lbQueue_->header()->setSectionsClickable(false);
    lbQueue_->header()->setSectionsMovable(false);
    lbQueue_->header()->setStretchLastSection(true);
    lbQueue_->setSortingEnabled(false);
    lbQueue_->setRootIsDecorated(false);
    lbQueue_->setIndentation(0);
    lbQueue_->setItemsExpandable(false);
    lbQueue_->setUniformRowHeights(true);
    lbQueue_->setSelectionMode(QAbstractItemView::NoSelection);
    lbQueue_->setDragEnabled(false);
    lbQueue_->setFocusPolicy(Qt::NoFocus);
    lbQueue_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lbQueue_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lbQueue_->setItemDelegate(new QueueRowDelegate(this));
    lbQueue_->setEnabled(false);
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
    const QRect main = parent_->geometry();
    width_ = 0;
    setGeometry(main.x() + main.width(), main.y(), std::max(width(), 1), main.height() - 2);
    applyWidth(0);
    QWidget::setVisible(true);
    showAnimation_->start();
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
    resize(std::max(w, 1), height());
}

void wQueue::layoutList() {
    const int w = std::max(0, width() - kListLeft - kListMargin);
    const int h = std::max(0, height() - 2 * kListMargin);
    lbQueue_->setGeometry(kListLeft, kListMargin, w, h);
}

void wQueue::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // A resize from outside the slide (by the window system, say) is the
    // panel's new width; the slide goes on from there.
    if (event->size().width() != std::max(width_, 1))
        width_ = event->size().width();
    layoutList();
}

void wQueue::closeEvent(QCloseEvent* event) {
    // A closed panel starts nothing any more.
    showAnimation_->stop();
    hideAnimation_->stop();
    QWidget::closeEvent(event);
}

} // namespace qmk
