#include "app/wErrors.h"

#include "app/wMain.h"
#include "model/Globals.h"
#include "platform/Localization.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>

namespace qmk {

namespace {

const QColor kEvenRow(0xEF, 0xEE, 0xFF);
const QColor kMessage(0xCC, 0x00, 0x00);

// A row's message box. However it ends (its button, Return, Escape, or the window
// manager closing it), it hides, and the panel takes the keyboard back first, while
// the box still holds it. Once the box is gone the window manager would hand it on
// itself, to a main window, this program's or another's, never to a panel; it may
// do so even after the panel's request, when it sees the box go before the panel has
// the keyboard, so the panel asks once more after the box has gone.
class RowMessageBox : public QMessageBox {
  public:
    RowMessageBox(const QString& text, QWidget* panel)
        : QMessageBox(QMessageBox::NoIcon, Globals::kAppTitle, text, QMessageBox::Ok, panel) {
        connect(this, &QDialog::finished, panel, [panel] { panel->activateWindow(); });
    }

    void setVisible(bool visible) override {
        if (!visible && isVisible())
            parentWidget()->activateWindow();
        QMessageBox::setVisible(visible);
    }
};

} // namespace

ErrorList::ErrorList(QWidget* parent) : StripedList(parent) {
    // A row left current in a focused list is drawn tinted and outlined as if it
    // were still picked: with the selection, the current row goes too.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!selectionModel()->hasSelection() && currentIndex().isValid())
            selectionModel()->clearCurrentIndex();
    });
}

void ErrorList::mouseDoubleClickEvent(QMouseEvent* e) {
    QTreeWidget::mouseDoubleClickEvent(e);
    emit doubleClicked();
}

void ErrorList::focusInEvent(QFocusEvent* e) {
    // Taking the focus, a list makes its first row current, and a current row in a
    // focused list is drawn tinted and outlined as if it had been picked. The user
    // has picked nothing: a click (or the arrow keys) makes a row current.
    const bool hadCurrent = currentIndex().isValid();
    StripedList::focusInEvent(e);
    if (!hadCurrent && selectionModel())
        selectionModel()->clearCurrentIndex();
}

QModelIndex ErrorList::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    // Without a current row the list would go to the first row whatever the key.
    const int count = topLevelItemCount();
    if (currentIndex().isValid() || count == 0)
        return StripedList::moveCursor(action, modifiers);
    const QModelIndex last = indexFromItem(topLevelItem(count - 1));
    switch (action) {
    case MoveEnd:
        return last;
    case MovePageDown: {
        // As from the first row: to the first row the list does not wholly show.
        const int top = visualRect(indexFromItem(topLevelItem(0))).top();
        const QModelIndex below = indexAt(QPoint(0, top + viewport()->height()));
        return below.isValid() ? below : last;
    }
    default: // Down, Home and the rest: the first row
        return StripedList::moveCursor(action, modifiers);
    }
}

QString wErrors::kErrors() {
    return QString::fromStdString(GetLocalizedString("wErrors.kErrors", "Erreurs", ""));
}

QString wErrors::kClose() {
    return QString::fromStdString(GetLocalizedString("wErrors.kClose", "Fermer", ""));
}

wErrors::wErrors(wMain* parent) : QDialog(parent) {
    setObjectName("wErrors");
    Layout();
    CreateControls();
    parent_ = parent;
    lbErrors_->clear();
    // Level with the queue panel: from the top of the main window's content, below
    // its menu bar. Not clamped to the screen: a main window near the left edge
    // pushes the panel past it.
    const QRect main = parent->frameGeometry();
    move(main.left() - kWidth, parent->content()->mapToGlobal(QPoint(0, 0)).y());
    // A tool window is not given the focus as it opens; the panel takes it, so
    // Return and Escape reach its button, but only from this program: opened while
    // the user works in another one, it would take the Return or Escape typed there.
    const bool ours = QGuiApplication::applicationState() == Qt::ApplicationActive;
    setAttribute(Qt::WA_ShowWithoutActivating, !ours);
    show();
    if (ours)
        activateWindow();
}

void wErrors::Layout() {
    setWindowTitle(kErrors());
    // A tool window, like the queue panel: the desktop leaves it where it is put,
    // where a dialog would be pulled onto the screen over the main window.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);
    setMinimumSize(64, 64);
    setMaximumSize(32000, 32000);
    resize(kWidth, kHeight);
    MsgBox = [this](const QString& text) {
        RowMessageBox box(text, this);
        box.exec();
    };
}

void wErrors::CreateControls() {
    lbErrors_ = new ErrorList(this);
    lbErrors_->setObjectName("lbErrors");
    lbErrors_->setColumnCount(2);
    lbErrors_->setHeaderHidden(true);
    lbErrors_->setRootIsDecorated(false);
    lbErrors_->setItemsExpandable(false);
    lbErrors_->setAllColumnsShowFocus(true);
    lbErrors_->setSelectionMode(QAbstractItemView::SingleSelection);
    lbErrors_->setSelectionBehavior(QAbstractItemView::SelectRows);
    lbErrors_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lbErrors_->setDragEnabled(false);
    lbErrors_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lbErrors_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    lbErrors_->header()->setStretchLastSection(true);
    lbErrors_->header()->setSectionsMovable(false);
    lbErrors_->dottedColumnLines = true;
    lbErrors_->CellBackgroundPaint = [this](QPainter& g, int row, int column, const QRect& cell) {
        return lbErrors_CellBackgroundPaint(g, row, column, cell);
    };
    lbErrors_->CellTextPaint = [this](QColor& color, int row, int column) {
        return lbErrors_CellTextPaint(color, row, column);
    };
    connect(lbErrors_, &ErrorList::doubleClicked, this, &wErrors::lbErrors_DoubleClick);

    bbClose_ = new QPushButton(kClose(), this);
    bbClose_->setObjectName("bbClose");
    bbClose_->setDefault(true);
    bbClose_->setAutoDefault(true);
    connect(bbClose_, &QPushButton::clicked, this, &wErrors::bbClose_Action);

    lbErrors_->setFocus();
}

void wErrors::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    // The list keeps 2 pixels to the left, top and right edges and 38 to the bottom;
    // the button keeps 10 to the right and bottom edges.
    lbErrors_->setGeometry(2, 2, width() - 4, height() - 40);
    lbErrors_->setColumnWidth(0, lbErrors_->width() * 40 / 100);
    bbClose_->setGeometry(width() - 90, height() - 30, 80, 20);
}

void wErrors::addError(const QString& name, const QString& message) {
    lbErrors_->addTopLevelItem(new QTreeWidgetItem({name, message}));
}

bool wErrors::lbErrors_CellBackgroundPaint(QPainter& g, int row, int /*column*/,
                                           const QRect& cell) {
    if (row % 2 == 0)
        g.fillRect(cell, kEvenRow);
    return false;
}

bool wErrors::lbErrors_CellTextPaint(QColor& textColor, int /*row*/, int column) {
    if (column == 1)
        textColor = kMessage;
    return false;
}

void wErrors::lbErrors_DoubleClick() {
    const QList<QTreeWidgetItem*> selected = lbErrors_->selectedItems();
    if (selected.isEmpty())
        return;
    MsgBox(selected.first()->text(1));
}

void wErrors::bbClose_Action() {
    close();
    if (parent_ && parent_->errors == this)
        parent_->errors = nullptr;
}

void wErrors::reject() {
    bbClose_Action();
}

void wErrors::closeEvent(QCloseEvent* e) {
    // A plain close: the dialog's own handling would turn it into reject() again.
    QWidget::closeEvent(e);
    if (parent_ && parent_->errors == this)
        parent_->errors = nullptr;
}

} // namespace qmk
