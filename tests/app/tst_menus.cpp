// The menu bar as the user meets it: plain separators in the Edit menu, and its
// shortcuts typed in whichever window of the program is in front.
#include "app/MainMenuBar.h"
#include "app/Resources.h"
#include "app/wErrors.h"
#include "app/wMain.h"
#include "app/wQueue.h"

#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QtTest>

using namespace qmk;

namespace {

// Runs the event loop until something ends it; a loop nobody ends gives 99.
int runLoop() {
    QTimer::singleShot(20000, [] { QCoreApplication::exit(99); });
    return QApplication::exec();
}

// The darkest grey in a part of a picture (0 black, 255 white).
int darkest(const QImage& img, const QRect& r) {
    int min = 255;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            min = std::min(min, qGray(img.pixel(x, y)));
    return min;
}

} // namespace

class MenusTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { SetResourcesFolder(QMK_RESOURCES_DIR); }

    // A separator is a light line across the menu, with no caption drawn beside it.
    void editMenuSeparatorsArePlainLines() {
        wMain w;
        QMenu* edit = w.EditMenu();
        edit->popup(w.mapToGlobal(QPoint(20, 20)));
        QTRY_VERIFY_WITH_TIMEOUT(edit->isVisible(), 10000);
        const QImage shot = edit->grab().toImage();
        // A caption is drawn dark.
        QVERIFY(darkest(shot, edit->actionGeometry(w.EditUndo())) < 100);
        for (QAction* separator : {w.EditSeparator1(), w.EditSeparator2()}) {
            QVERIFY(separator->isSeparator());
            const int d = darkest(shot, edit->actionGeometry(separator));
            QVERIFY2(d > 128,
                     qPrintable(QString("%1: darkest %2").arg(separator->objectName()).arg(d)));
        }
        edit->close();
    }

    // Ctrl+Q quits from every window of the program, whichever has the focus.
    void quitFromEveryWindow_data() {
        QTest::addColumn<QString>("window");
        QTest::newRow("main window") << "main";
        QTest::newRow("error panel") << "errors";
        QTest::newRow("queue panel") << "queue";
    }
    void quitFromEveryWindow() {
        QFETCH(QString, window);
        wMain w;
        QWidget* front = &w;
        if (window == "errors") {
            w.addError("Compta.qmkp", "Ce document est déjà dans la version Pro 6.2");
            front = w.errors;
        } else if (window == "queue") {
            auto files = std::make_shared<FileList>(FileList{FolderItem("/tmp/Compta.qmkx")});
            auto* panel = new wQueue(&w, files, [] {});
            panel->show();
            front = panel;
        }
        front->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(front));
        QCOMPARE(QApplication::activeWindow(), front);

        QTimer::singleShot(0, front, [front] {
            QWidget* focus = front->focusWidget() ? front->focusWidget() : front;
            QTest::keyClick(focus, Qt::Key_Q, Qt::ControlModifier);
        });
        QCOMPARE(runLoop(), 0);
    }
};

QTEST_MAIN(MenusTest)
#include "tst_menus.moc"
