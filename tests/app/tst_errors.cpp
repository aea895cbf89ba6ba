// The error panel: placement, rows and their colours, the message of the selected row,
// and the three ways of closing it.
#include "app/Resources.h"
#include "app/wErrors.h"
#include "app/wMain.h"

#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

using namespace qmk;

namespace {
const QString kPro = "Ce document est déjà dans la version Pro 6.2";
const QString kUnknown = "Fichier de type inconnu (v. 0)";
} // namespace

class ErrorPanelTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { SetResourcesFolder(QMK_RESOURCES_DIR); }

    void firstRefusalOpensThePanelAgainstTheLeftEdge() {
        wMain w;
        w.move(600, 200);
        QVERIFY(!w.errors);
        w.addError("Compta.qmkp", kPro);
        wErrors* panel = w.errors;
        QVERIFY(panel);
        QVERIFY(panel->isVisible());
        QCOMPARE(panel->parentWindow(), &w);
        QCOMPARE(panel->size(), QSize(422, 162));
        QCOMPARE(panel->geometry().right() + 1, w.frameGeometry().left());
        QCOMPARE(panel->geometry().top(), w.content()->mapToGlobal(QPoint(0, 0)).y());
        QVERIFY(panel->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(panel->windowTitle(), QString("Erreurs"));

        QCOMPARE(panel->lbErrors()->geometry(), QRect(2, 2, 418, 122));
        QCOMPARE(panel->lbErrors()->columnCount(), 2);
        QCOMPARE(panel->lbErrors()->columnWidth(0), 418 * 40 / 100);
        QVERIFY(panel->lbErrors()->isHeaderHidden());
        QCOMPARE(panel->bbClose()->geometry(), QRect(332, 132, 80, 20));
        QCOMPARE(panel->bbClose()->text(), QString("Fermer"));
        QVERIFY(panel->bbClose()->isDefault());

        // Later refusals go to the same panel; moving the main window leaves it in place.
        const QPoint at = panel->pos();
        w.move(700, 300);
        w.addError("Notes.txt", kUnknown);
        QCOMPARE(w.errors.data(), panel);
        QCOMPARE(panel->pos(), at);
        QCOMPARE(panel->lbErrors()->topLevelItemCount(), 2);
    }

    void notClampedToTheScreen() {
        wMain w;
        w.move(100, 150);
        w.addError("Compta.qmkp", kPro);
        QCOMPARE(w.errors->pos().x(), w.frameGeometry().left() - 422);
        QVERIFY(w.errors->pos().x() < 0);
    }

    // Even rows are filled with #EFEEFF, counted on through the empty part of the
    // list; messages are #CC0000 and names keep the list's colour, also on a row
    // the user has selected.
    void rowsAndColours() {
        wMain w;
        const QStringList names = {"Compta.qmkp", "Notes.txt", "Budget.qmkp"};
        const QStringList messages = {kPro, kUnknown, kPro};
        for (int i = 0; i < names.size(); ++i)
            w.addError(names[i], messages[i]);
        QTreeWidget* list = w.errors->lbErrors();
        QVERIFY(QTest::qWaitForWindowExposed(w.errors.data()));
        QCOMPARE(list->topLevelItemCount(), 3);
        QVERIFY(list->selectedItems().isEmpty());
        for (int i = 0; i < names.size(); ++i) {
            QCOMPARE(list->topLevelItem(i)->text(0), names[i]);
            QCOMPARE(list->topLevelItem(i)->text(1), messages[i]);
        }

        const QRect first = list->visualItemRect(list->topLevelItem(0));
        QVERIFY(list->viewport()->height() > 5 * first.height());
        auto cell = [&](int row, int column) {
            const int x = list->header()->sectionViewportPosition(column);
            return QRect(x, first.top() + row * first.height(), list->columnWidth(column),
                         first.height());
        };
        auto shot = [&] { return list->viewport()->grab().toImage(); };
        // Pixels of the cell drawn in (about) the message red.
        auto redPixels = [](const QImage& img, const QRect& r) {
            int n = 0;
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x) {
                    const QColor c = img.pixelColor(x, y);
                    n += c.red() > 150 && c.green() < 80 && c.blue() < 80;
                }
            return n;
        };

        // Without the focus frame that the list draws around its current row.
        list->setCurrentItem(nullptr);
        const QImage before = shot();
        QList<int> filled;
        for (int row = 0; row < 5; ++row) // right of the short names: background only
            if (before.pixelColor(cell(row, 0).right() - 6, cell(row, 0).center().y()) ==
                QColor("#EFEEFF"))
                filled << row;
        QCOMPARE(filled, QList<int>({0, 2, 4}));
        for (int row = 0; row < 3; ++row) {
            QVERIFY(redPixels(before, cell(row, 1)) > 10);
            QCOMPARE(redPixels(before, cell(row, 0)), 0);
        }

        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell(1, 0).center());
        QVERIFY(list->topLevelItem(1)->isSelected());
        const QImage selected = shot();
        QVERIFY(selected.pixelColor(cell(1, 0).right() - 6, cell(1, 0).center().y()) !=
                before.pixelColor(cell(1, 0).right() - 6, cell(1, 0).center().y()));
        QVERIFY(redPixels(selected, cell(1, 1)) > 10);
        QCOMPARE(redPixels(selected, cell(1, 0)), 0);
    }

    void doubleClickShowsTheSelectedMessage_data() {
        QTest::addColumn<int>("selected");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("no selection") << -1 << QStringList();
        QTest::newRow("second row") << 1 << QStringList{kUnknown};
        QTest::newRow("first row") << 0 << QStringList{kPro};
    }
    void doubleClickShowsTheSelectedMessage() {
        QFETCH(int, selected);
        QFETCH(QStringList, shown);
        wMain w;
        w.addError("Compta.qmkp", kPro);
        w.addError("Notes.txt", kUnknown);
        wErrors* panel = w.errors;
        QStringList got;
        panel->MsgBox = [&got](const QString& t) { got << t; };
        if (selected >= 0)
            panel->lbErrors()->topLevelItem(selected)->setSelected(true);
        panel->lbErrors_DoubleClick();
        QCOMPARE(got, shown);
    }

    void doubleClickOnARowWithTheMouse() {
        wMain w;
        w.addError("Compta.qmkp", kPro);
        w.addError("Notes.txt", kUnknown);
        wErrors* panel = w.errors;
        QVERIFY(QTest::qWaitForWindowExposed(panel));
        QStringList got;
        panel->MsgBox = [&got](const QString& t) { got << t; };
        QTreeWidget* list = panel->lbErrors();
        const QPoint onRow = list->visualItemRect(list->topLevelItem(1)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, onRow);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, onRow);
        QCOMPARE(got, QStringList{kUnknown});
    }

    void theMessageBoxShowsTheMessage() {
        wMain w;
        w.addError("Notes.txt", kUnknown);
        wErrors* panel = w.errors;
        panel->lbErrors()->topLevelItem(0)->setSelected(true);
        QString seen;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen = box->text();
                box->accept();
            }
        });
        poll.start(20);
        panel->lbErrors_DoubleClick(); // returns once the box is closed
        QCOMPARE(seen, kUnknown);
    }

    void closing_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("button") << 0;
        QTest::newRow("return") << 1;
        QTest::newRow("escape") << 2;
    }
    void closing() {
        QFETCH(int, how);
        wMain w;
        w.move(600, 200);
        w.addError("Compta.qmkp", kPro);
        w.addError("Notes.txt", kUnknown);
        QPointer<wErrors> panel = w.errors.data();
        QVERIFY(QTest::qWaitForWindowExposed(panel));
        QWidget* focus = panel->lbErrors();
        if (how == 0)
            QTest::mouseClick(panel->bbClose(), Qt::LeftButton);
        else
            QTest::keyClick(focus, how == 1 ? Qt::Key_Return : Qt::Key_Escape);
        QVERIFY(!w.errors);
        QTRY_VERIFY_WITH_TIMEOUT(!panel, 20000); // closed and gone

        // The next refusal opens a new panel with only that row, at the edge as it is now.
        w.move(650, 260);
        w.addError("Budget.qmkp", kPro);
        QVERIFY(w.errors);
        QCOMPARE(w.errors->lbErrors()->topLevelItemCount(), 1);
        QCOMPARE(w.errors->lbErrors()->topLevelItem(0)->text(0), QString("Budget.qmkp"));
        QCOMPARE(w.errors->geometry().right() + 1, w.frameGeometry().left());
        QCOMPARE(w.errors->geometry().top(), w.content()->mapToGlobal(QPoint(0, 0)).y());
    }
};

QTEST_MAIN(ErrorPanelTest)
#include "tst_errors.moc"
