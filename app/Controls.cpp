#include "app/Controls.h"

#include <QMouseEvent>
#include <QPainter>

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

} // namespace qmk
