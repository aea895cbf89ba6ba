#include "app/Controls.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace qmk {

void DropBox::setBackdrop(const QPixmap& p) {
    backdrop_ = p;
    update();
}

void DropBox::paintEvent(QPaintEvent*) {
    if (backdrop_.isNull())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(rect(), backdrop_);
}

void DropBox::enterEvent(QEnterEvent* e) {
    QWidget::enterEvent(e);
    emit mouseEntered();
}

void DropBox::leaveEvent(QEvent* e) {
    QWidget::leaveEvent(e);
    emit mouseExited();
}

void DropBox::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) {
        const QPoint at = e->position().toPoint();
        emit mouseDown(at.x(), at.y());
    }
    QWidget::mousePressEvent(e);
}

void StatusRect::setFillColor(const QColor& c) {
    fill_ = c;
    update();
}

void StatusRect::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), fill_);
}

namespace {

// Hands each cell to the list's handlers before the usual drawing.
class CellDelegate : public QStyledItemDelegate {
  public:
    explicit CellDelegate(StripedList* list) : QStyledItemDelegate(list), list_(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const int row = index.row(), column = index.column();
        if (list_->CellBackgroundPaint) {
            painter->save();
            painter->setClipRect(option.rect);
            const bool drawn = list_->CellBackgroundPaint(*painter, row, column, option.rect);
            painter->restore();
            if (drawn)
                return;
        }
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        if (list_->CellTextPaint) {
            const QColor own = opt.palette.color(QPalette::Text);
            QColor color = own;
            if (list_->CellTextPaint(color, row, column))
                return;
            // A colour of the handler's stays when the row is selected.
            if (color != own) {
                opt.palette.setColor(QPalette::Text, color);
                opt.palette.setColor(QPalette::HighlightedText, color);
            }
        }
        const QWidget* w = opt.widget;
        QStyle* style = w ? w->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, w);

        if (list_->dottedColumnLines && column + 1 < list_->columnCount()) {
            painter->save();
            painter->setPen(QPen(QColor(0xA0, 0xA0, 0xA0), 1, Qt::DotLine));
            const int x = option.rect.right();
            painter->drawLine(x, option.rect.top(), x, option.rect.bottom());
            painter->restore();
        }
    }

  private:
    StripedList* list_;
};

} // namespace

StripedList::StripedList(QWidget* parent) : QTreeWidget(parent) {
    setItemDelegate(new CellDelegate(this));
    setUniformRowHeights(true);
}

int StripedList::rowHeight() const {
    if (topLevelItemCount() > 0)
        return visualItemRect(topLevelItem(0)).height();
    // What a one-line row of text takes in this list.
    QStyleOptionViewItem opt;
    initViewItemOption(&opt);
    opt.features |= QStyleOptionViewItem::HasDisplay;
    opt.text = QStringLiteral("Xg");
    return style()->sizeFromContents(QStyle::CT_ItemViewItem, &opt, QSize(), this).height();
}

void StripedList::paintEvent(QPaintEvent* e) {
    QTreeWidget::paintEvent(e);
    if (!CellBackgroundPaint)
        return;
    // The rows below the last item, as far down as the list shows.
    const int count = topLevelItemCount();
    const int h = rowHeight();
    if (h <= 0)
        return;
    int y = count > 0 ? visualItemRect(topLevelItem(count - 1)).bottom() + 1 : 0;
    QPainter g(viewport());
    for (int row = count; y < viewport()->height(); ++row, y += h) {
        for (int column = 0; column < columnCount(); ++column) {
            const QRect cell(header()->sectionViewportPosition(column), y,
                             header()->sectionSize(column), h);
            g.save();
            g.setClipRect(cell);
            CellBackgroundPaint(g, row, column, cell);
            g.restore();
        }
    }
}

} // namespace qmk
