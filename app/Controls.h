// The main window's two small drawn controls: the drop box and the status strip.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

namespace qmk {

// Shows its backdrop picture and reports the pointer entering, leaving and pressing.
class DropBox : public QWidget {
    Q_OBJECT
  public:
    explicit DropBox(QWidget* parent = nullptr) : QWidget(parent) {}
    void setBackdrop(const QPixmap& p);
    QPixmap backdrop() const { return backdrop_; }

  signals:
    void mouseEntered();
    void mouseExited();
    void mouseDown(int x, int y);

  protected:
    void paintEvent(QPaintEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

  private:
    QPixmap backdrop_;
};

// A borderless rectangle filled with one colour.
class StatusRect : public QWidget {
    Q_OBJECT
  public:
    explicit StatusRect(QWidget* parent = nullptr) : QWidget(parent) {}
    void setFillColor(const QColor& c);
    QColor fillColor() const { return fill_; }

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    QColor fill_ = Qt::white;
};

} // namespace qmk
