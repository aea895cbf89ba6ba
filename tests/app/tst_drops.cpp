// Drags from another program onto the main window, on a real desktop
// (with-openbox.sh): the second program (drag-source) starts a drag offering copy,
// move and link with move proposed, and the pointer is moved and pressed through
// the X server as a hand would. What the source is told it may do with what it
// gave, the drop zone's look while the drag is over the window and after it, and
// what the window does with the drop. Without a window manager they are skipped.
#include "BatchProbe.h"
#include "SecondProgram.h"
#include "X11Desktop.h"

#include "app/ConvertThread.h"
#include "app/Resources.h"

#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

using namespace qmk;
using namespace qmk::test;

namespace {

QColor textColor(QLabel* l) {
    return l->palette().color(QPalette::WindowText);
}

bool samePicture(const QPixmap& a, const QPixmap& b) {
    return !a.isNull() && a.cacheKey() == b.cacheKey();
}

// Where the drag events that reach the window were, on the screen.
class DragWatcher : public QObject {
  public:
    explicit DragWatcher(QWidget& w) : w_(w) { w.installEventFilter(this); }

    std::optional<QPoint> last; // the last enter, move or drop
    int leaves = 0;
    int drops = 0;

  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        switch (e->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            last = w_.mapToGlobal(static_cast<QDropEvent*>(e)->position().toPoint());
            drops += e->type() == QEvent::Drop;
            break;
        case QEvent::DragLeave:
            ++leaves;
            break;
        default:
            break;
        }
        return false;
    }

  private:
    QWidget& w_;
};

// The second program, and what it has said so far.
class DragSource : public SecondProgram {
  public:
    explicit DragSource(const QStringList& args) : SecondProgram(QMK_DRAG_SOURCE, args) {}

    // What its drag ended with: copy, move, link or ignore; empty until then.
    QString result() const {
        for (const QString& l : lines())
            if (l.startsWith("result "))
                return l.mid(7);
        return QString();
    }
};

} // namespace

class DropsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<x11::Desktop> desktop_;
    QTemporaryDir dir_;
    int n_ = 0;

    // The pointer moves in small steps, as a hand drags.
    void glide(QPoint from, QPoint to) {
        constexpr int steps = 24;
        for (int i = 1; i <= steps; ++i) {
            const QPoint at = from + (to - from) * i / steps;
            QVERIFY(desktop_->movePointer(at.x(), at.y()));
        }
    }

    // Holds the pointer at `to` until the window has seen the drag there (or a pixel
    // beside it). The source tells the window a new position only when the pointer
    // moves after the window's answer to the last one, so a hand's slight tremor is
    // what brings it.
    bool settle(QPoint to, const DragWatcher& watcher) {
        return QTest::qWaitFor(
            [&] {
                if (watcher.last && (*watcher.last - to).manhattanLength() <= 1)
                    return true;
                desktop_->movePointer(to.x() + 1, to.y());
                desktop_->movePointer(to.x(), to.y());
                return false;
            },
            20000);
    }

    void click(QWidget* target) {
        const QPoint at = target->mapToGlobal(target->rect().center());
        QVERIFY(desktop_->click(at.x(), at.y()));
    }

  private slots:
    void initTestCase() {
        const char* whyNot = nullptr;
        desktop_ = x11::managedDesktop(whyNot);
        if (!desktop_)
            QSKIP(whyNot);
        QVERIFY(dir_.isValid());
        SetResourcesFolder(QMK_RESOURCES_DIR);
    }

    // Whatever the source proposes, the window takes a copy or nothing: a move would
    // have the source delete what it gave (an editor cuts its selection), a link is
    // no document; a source that offers no copy is refused. Only a drag that carries a file shows
    // the hover look, and the look goes back as soon as the drag leaves or drops. "FILE" stands for
    // a real document's URL.
    void dragsFromAnotherProgram_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("dropped"); // released over the window, or back over the source
        QTest::addColumn<bool>("hover");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("captionAfter");
        QTest::addColumn<bool>("message"); // "Fichier non reconnu"
        QTest::addColumn<bool>("converts");

        const QString link = "http://exemple.fr/Compta.qmk3";
        const QString first = "#6C6C6C", after = "#3C3C3C";
        QTest::newRow("editor's text") << QStringList{"text", "Compta 2014"} << true << false
                                       << "copy" << first << true << false;
        QTest::newRow("link") << QStringList{"urls", link} << true << false << "copy" << first
                              << true << false;
        QTest::newRow("file") << QStringList{"urls", "FILE"} << true << true << "copy" << after
                              << false << true;
        QTest::newRow("link, then a file") << QStringList{"urls", link, "FILE"} << true << true
                                           << "copy" << after << true << false;
        QTest::newRow("file taken back")
            << QStringList{"urls", "FILE"} << false << true << "ignore" << after << false << false;
        QTest::newRow("file offered only as a move")
            << QStringList{"--move-only", "urls", "FILE"} << true << false << "ignore" << first
            << false << false;
    }
    void dragsFromAnotherProgram() {
        QFETCH(QStringList, args);
        QFETCH(bool, dropped);
        QFETCH(bool, hover);
        QFETCH(QString, result);
        QFETCH(QString, captionAfter);
        QFETCH(bool, message);
        QFETCH(bool, converts);

        const QString folder = dir_.filePath(QString("case-%1").arg(++n_));
        QVERIFY(QDir().mkpath(folder));
        const QString file = folder + "/Compta.qmk3";
        QVERIFY(writeFile(file, v32Image()));
        args.replaceInStrings("FILE", QUrl::fromLocalFile(file).toString());

        wMain w;
        w.RevealDocument = [](const QString&) {};
        w.convertThread()->setPauseDivisor(10);
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        DragWatcher watcher(w);

        DragSource source(args);
        QTRY_VERIFY_WITH_TIMEOUT(source.place(), 20000);
        const QPoint from = source.place()->center();
        // Far from the drop box: the drop zone is the whole window.
        const QPoint to = w.content()->mapToGlobal(QPoint(40, 210));
        QVERIFY(desktop_->movePointer(from.x(), from.y()));
        QVERIFY(desktop_->pressButton());
        bool held = true;
        // A failed check still lets go of the button, or the next drag would not start.
        auto letGo = qScopeGuard([&] {
            if (held)
                desktop_->releaseButton();
        });
        QTRY_VERIFY_WITH_TIMEOUT(source.said("dragging"), 20000);
        // Up to just below the window, then in: the window is first told of the drag
        // at `to` (one that it refuses is not told again while over it).
        const QPoint below(to.x(), w.frameGeometry().bottom() + 20);
        glide(from, below);
        QVERIFY(desktop_->movePointer(to.x(), to.y()));
        QVERIFY(settle(to, watcher));

        // While over the window.
        QCOMPARE(textColor(w.stDrop()) == QColor("#33CC33"), hover);
        QCOMPARE(samePicture(w.ccDropFile()->backdrop(), icondropboxhover()), hover);

        if (!dropped) {
            glide(to, from);
            QTRY_COMPARE_WITH_TIMEOUT(watcher.leaves, 1, 20000);
        }
        held = false;
        QVERIFY(desktop_->releaseButton());
        if (result == "copy")
            QTRY_COMPARE_WITH_TIMEOUT(watcher.drops, 1, 20000);
        // After it, whatever it carried.
        QCOMPARE(textColor(w.stDrop()), QColor(captionAfter));
        QVERIFY(samePicture(w.ccDropFile()->backdrop(), icondropbox()));
        QTRY_COMPARE_WITH_TIMEOUT(source.result(), result, 20000);

        if (message) {
            QMessageBox* box = nullptr;
            QTRY_VERIFY_WITH_TIMEOUT(
                (box = w.findChild<QMessageBox*>()) && QTest::qWaitForWindowExposed(box), 20000);
            QCOMPARE(box->text(), QString("Fichier non reconnu"));
            QPointer<QMessageBox> shown = box;
            click(box->button(QMessageBox::Ok));
            QTRY_VERIFY_WITH_TIMEOUT(!shown || !shown->isVisible(), 20000);
        } else {
            const auto* box = w.findChild<QMessageBox*>();
            QVERIFY2(!box, box ? qPrintable(box->text()) : "");
        }
        QVERIFY(!w.errors);
        const QString written = folder + "/Compta.qmkp";
        if (converts) {
            QVERIFY(w.queue);
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(written) && !w.queue &&
                                         w.state().converted.load() &&
                                         !w.convertTimer()->isActive(),
                                     60000);
        } else {
            QVERIFY(!w.queue);
            QVERIFY(!QFileInfo::exists(written));
        }
        QVERIFY(QFileInfo::exists(file));
    }
};

QTEST_MAIN(DropsTest)
#include "tst_drops.moc"
