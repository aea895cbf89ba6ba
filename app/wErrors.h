// The error panel: a borderless panel against the main window's left edge that
// lists every refused file with its message.
#pragma once

#include "app/Controls.h"

#include <QDialog>

#include <functional>

class QPushButton;

namespace qmk {

class wMain;

// The list of refusals; reports every double click, also one below the last row.
// No row is current until the user picks one, nor once the selection is gone again
// (a click below the last row); the first key then moves as from above the first row.
class ErrorList : public StripedList {
    Q_OBJECT
  public:
    explicit ErrorList(QWidget* parent = nullptr);

  signals:
    void doubleClicked();

  protected:
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
};

class wErrors : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kWidth = 422;
    static constexpr int kHeight = 162;

    // Builds the panel, shows it and places it with its right edge on the main
    // window's left edge and its top on the main window's top. It opens active
    // while this program is the active one, otherwise without taking the focus.
    explicit wErrors(wMain* parent);

    // Appends one row: the file's name and the message.
    void addError(const QString& name, const QString& message);

    wMain* parentWindow() const { return parent_; }
    ErrorList* lbErrors() const { return lbErrors_; }
    QPushButton* bbClose() const { return bbClose_; }

    // Even rows (counted from 0, also the empty ones below the last) are filled
    // with #EFEEFF; the list's own drawing, the selection's highlight included,
    // goes over it.
    bool lbErrors_CellBackgroundPaint(QPainter& g, int row, int column, const QRect& cell);
    // Messages (column 1) are #CC0000, selected or not; file names keep the
    // list's own colour.
    bool lbErrors_CellTextPaint(QColor& textColor, int row, int column);

    // Shows the selected row's message; nothing without a selection.
    void lbErrors_DoubleClick();
    // Closes the panel; the next refusal opens a new one.
    void bbClose_Action();

    // How a message is shown; a message box unless tests put something else here.
    std::function<void(const QString&)> MsgBox;

    static QString kErrors();
    static QString kClose();

  protected:
    // Escape, like the button.
    void reject() override;
    // However the panel closes, the main window lets go of it.
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

  private:
    void Layout();
    void CreateControls();

    wMain* parent_ = nullptr;
    ErrorList* lbErrors_ = nullptr;
    QPushButton* bbClose_ = nullptr;
};

} // namespace qmk
