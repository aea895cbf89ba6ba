// The main window's two small drawn controls: the drop box and the status strip.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QTreeWidget>
#include <QWidget>

#include <functional>

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

// A list whose cells are painted through two handlers, as the side panels want
// them: the background of every row the list shows, also of the empty rows below
// the last item (numbered on from it), and the colour of each cell's text, which a
// selection does not change.
class StripedList : public QTreeWidget {
    Q_OBJECT
  public:
    explicit StripedList(QWidget* parent = nullptr);

    // Paints the background of a cell before the list's own drawing (the highlight
    // of a selected row goes over it). Returns true when it has drawn the whole cell.
    std::function<bool(QPainter& g, int row, int column, const QRect& cell)> CellBackgroundPaint;
    // May set the colour of a cell's text. Returns true when it has drawn the text.
    std::function<bool(QColor& textColor, int row, int column)> CellTextPaint;
    // A thin dotted line between the columns.
    bool dottedColumnLines = false;

    // The height of a row, also while the list has none.
    int rowHeight() const;

  protected:
    void paintEvent(QPaintEvent* e) override;
};

} // namespace qmk
