// The queue panel against the real main window: its list and the shared batch
// list, the row colours, its place, and the two slides with their step rules,
// tick by tick and in real time.
#include "app/Resources.h"
#include "app/wMain.h"
#include "app/wQueue.h"

#include <QHeaderView>
#include <QPointer>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <map>

using qmk::FolderItem;
using qmk::wQueue;

namespace {

qmk::SharedFileList filesNamed(const QStringList& names) {
    auto list = std::make_shared<qmk::FileList>();
    for (const QString& n : names)
        list->push_back(FolderItem(std::filesystem::path("/tmp/docs") / n.toStdString()));
    return list;
}

QStringList rowNames(const wQueue& panel) {
    QStringList names;
    for (int i = 0; i < panel.lbQueue()->topLevelItemCount(); ++i)
        names << panel.lbQueue()->topLevelItem(i)->text(0);
    return names;
}

QStringList listNames(const qmk::FileList& list) {
    QStringList names;
    for (const FolderItem& f : list)
        names << QString::fromStdString(f.Name());
    return names;
}

// Relative luminance of a colour, and the contrast ratio of two, as the usual
// accessibility guidelines define them (1:1 to 21:1).
double luminance(const QColor& c) {
    auto channel = [](int v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Within a strip of a picture: the colour behind it (the commonest one) and the
// contrast of its text against it, from the glyph pixels furthest from it.
std::pair<QColor, double> textOnRow(const QImage& shot, const QRect& strip) {
    std::map<QRgb, int> counts;
    for (int y = strip.top(); y <= strip.bottom(); ++y)
        for (int x = strip.left(); x <= strip.right(); ++x)
            ++counts[shot.pixel(x, y) | 0xFF000000u];
    const QColor back = QColor::fromRgb(
        std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
            return a.second < b.second;
        })->first);
    double best = 1;
    for (const auto& [rgb, n] : counts)
        best = std::max(best, contrast(QColor::fromRgb(rgb), back));
    return {back, best};
}

} // namespace

class TestQueue : public QObject {
    Q_OBJECT

    std::unique_ptr<qmk::wMain> main_;
    int started_ = 0;
    QList<int> widthsAtStart_;
    QPointer<wQueue> panel_;

    // A new panel on the test's main window; it deletes itself when closed.
    QPointer<wQueue> makePanel(qmk::SharedFileList files) {
        started_ = 0;
        widthsAtStart_.clear();
        panel_ = new wQueue(main_.get(), std::move(files), [this] {
            ++started_;
            widthsAtStart_ << panel_->panelWidth();
        });
        return panel_;
    }

  private slots:
    void initTestCase() { qmk::SetResourcesFolder(QMK_RESOURCES_DIR); }
    void init() {
        main_ = std::make_unique<qmk::wMain>();
        QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
    }
    void cleanup() { main_.reset(); }

    void listFollowsTheSharedBatchList() {
        auto files = filesNamed({"Compta 2021.qmkx", "Société Dupont.qmk3", "Pro.qmkp"});
        QPointer<wQueue> panel = makePanel(files);

        QCOMPARE(panel->filesToImport().get(), files.get()); // the very object, no copy
        QCOMPARE(panel->lbQueue()->headerItem()->text(0), QString("Fichiers à convertir"));
        QCOMPARE(rowNames(*panel),
                 QStringList({"Compta 2021.qmkx", "Société Dupont.qmk3", "Pro.qmkp"}));

        panel->addFile(std::nullopt);
        panel->addFile(FolderItem());
        QCOMPARE(files->size(), size_t(3));
        panel->addFile(FolderItem("/tmp/other/Joint.qmkx"));
        QCOMPARE(listNames(*files), rowNames(*panel));
        QCOMPARE(rowNames(*panel).last(), QString("Joint.qmkx"));

        panel->removeFile();
        QCOMPARE(listNames(*files), QStringList({"Société Dupont.qmk3", "Pro.qmkp", "Joint.qmkx"}));
        QCOMPARE(rowNames(*panel), listNames(*files));

        // Emptying the list and removing once more leaves an empty, working panel.
        for (int i = 0; i < 4; ++i)
            panel->removeFile();
        QVERIFY(files->empty());
        QCOMPARE(panel->lbQueue()->topLevelItemCount(), 0);
        delete panel;
    }

    void aNullListIsAnEmptyOne() {
        QPointer<wQueue> panel = makePanel(nullptr);
        QVERIFY(panel->filesToImport());
        panel->addFile(FolderItem("/tmp/a.qmkx"));
        QCOMPARE(rowNames(*panel), QStringList({"a.qmkx"}));
        delete panel;
    }

    void listTakesNoInputAndHasNoScrollBars() {
        QStringList many;
        for (int i = 0; i < 40; ++i)
            many << QString("Dossier %1.qmkx").arg(i);
        QPointer<wQueue> panel = makePanel(filesNamed(many));
        panel->show();
        QTRY_COMPARE_WITH_TIMEOUT(started_, 1, 20000);

        QTreeWidget* list = panel->lbQueue();
        QVERIFY(!list->isEnabled());
        QVERIFY(!list->verticalScrollBar()->isVisible());
        QVERIFY(!list->horizontalScrollBar()->isVisible());
        // 0 pixels to the left edge, 2 to the others: 218 wide when open.
        QCOMPARE(list->geometry(), QRect(0, 2, 218, panel->height() - 4));
        // The rows past the bottom stay out of sight.
        QVERIFY(list->visualItemRect(list->topLevelItem(39)).top() > list->viewport()->height());
        delete panel;
    }

    // The list takes no input, but what it shows is there to be read: the heading
    // and every name stand out from their row, filled or not, by at least 4.5:1.
    void namesAndHeadingAreReadable() {
        QPointer<wQueue> panel =
            makePanel(filesNamed({"Compta 2021.qmkx", "Société Dupont.qmk3", "Budget.qmkx"}));
        panel->show();
        QTRY_COMPARE_WITH_TIMEOUT(started_, 1, 20000);
        QTreeWidget* list = panel->lbQueue();
        QVERIFY(!list->isEnabled());
        const QImage shot = list->grab().toImage();

        // Inside each row, clear of the lines that frame the heading's section.
        QList<QRect> strips = {list->header()->geometry().adjusted(3, 3, -3, -3)};
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QRect row = list->visualItemRect(list->topLevelItem(i));
            strips << QRect(list->viewport()->mapTo(list, row.topLeft()), row.size())
                          .adjusted(2, 1, -2, -1);
        }
        QStringList faint;
        for (int i = 0; i < strips.size(); ++i) {
            const auto [back, ratio] = textOnRow(shot, strips[i]);
            if (ratio < 4.5)
                faint << QString("%1 %2:1 on %3")
                             .arg(i == 0 ? QString("heading") : QString("row %1").arg(i - 1))
                             .arg(ratio, 0, 'f', 2)
                             .arg(back.name());
            if (i >= 1 && (i - 1) % 2 == 0)
                QCOMPARE(back, wQueue::evenRowColor());
        }
        QVERIFY2(faint.isEmpty(), qPrintable(faint.join(", ")));
        delete panel;
    }

    // Even rows are filled, counted from the top also through the empty part of
    // the list below the last file.
    void evenRowsAreFilled() {
        auto files = filesNamed({"a", "b", "c"});
        QPointer<wQueue> panel = makePanel(files);
        QTreeWidget* list = panel->lbQueue();
        const QRect first = list->visualItemRect(list->topLevelItem(0));
        QVERIFY(list->viewport()->height() > 6 * first.height());

        auto filledRows = [&] {
            const QImage shot = list->viewport()->grab().toImage();
            QList<int> rows;
            for (int row = 0; row < 6; ++row) {
                const QRect r = first.translated(0, row * first.height());
                // Right of the short names, so only the background shows.
                if (shot.pixelColor(r.right() - 4, r.center().y()) == wQueue::evenRowColor())
                    rows << row;
            }
            return rows;
        };
        const QList<int> even = {0, 2, 4};
        QCOMPARE(filledRows(), even);

        // The fill goes with the row number: the next file moves onto a filled row.
        panel->removeFile();
        QCOMPARE(filledRows(), even);
        // Without a file at all, the list is striped as before.
        panel->removeFile();
        panel->removeFile();
        QCOMPARE(list->topLevelItemCount(), 0);
        QCOMPARE(filledRows(), even);
        delete panel;
    }

    void slideOutStepsTickByTick() {
        QPointer<wQueue> panel = makePanel(filesNamed({"a"}));
        panel->show();
        panel->showAnimation()->stop(); // the test drives the ticks itself

        // Against the main window's right edge, from the top of its content area
        // (below the menu bar), 2 pixels shorter than the 234-high content.
        QCOMPARE(panel->panelWidth(), 0);
        QCOMPARE(panel->x(), main_->frameGeometry().right() + 1);
        QCOMPARE(panel->y(), main_->content()->mapToGlobal(QPoint(0, 0)).y());
        QCOMPARE(panel->height(), 232);

        for (int tick = 1; tick <= 11; ++tick) {
            panel->showAnimation_Action();
            QCOMPARE(panel->panelWidth(), 20 * tick);
            QCOMPARE(panel->width(), 20 * tick);
            QCOMPARE(started_, 0);
        }
        panel->showAnimation()->start();
        panel->showAnimation_Action(); // the 12th tick
        QCOMPARE(started_, 1);
        QVERIFY(!panel->showAnimation()->isActive());
        QCOMPARE(panel->width(), 220);

        // A second request to show does not slide or start again.
        panel->show();
        QCOMPARE(panel->panelWidth(), 220);
        QVERIFY(!panel->showAnimation()->isActive());
        delete panel;
    }

    // A window manager reports the sizes the slide asked for after the fact, and
    // at times one step late: such a report does not take the slide back.
    void lateReportsOfTheSlidesOwnWidthsAreNotTakenBack() {
        QPointer<wQueue> panel = makePanel(filesNamed({"a"}));
        panel->show();
        panel->showAnimation()->stop(); // the test drives the ticks itself
        for (int tick = 1; tick <= 3; ++tick)
            panel->showAnimation_Action();
        QCOMPARE(panel->panelWidth(), 60);

        const int h = panel->height();
        QResizeEvent late(QSize(20, h), QSize(40, h));
        QCoreApplication::sendEvent(panel, &late);
        QCOMPARE(panel->panelWidth(), 60);
        for (int tick = 4; tick <= 11; ++tick)
            panel->showAnimation_Action();
        QCOMPARE(panel->panelWidth(), 220);
        panel->showAnimation_Action();
        QCOMPARE(started_, 1);

        panel->hideAnimation()->stop();
        for (int tick = 1; tick <= 2; ++tick)
            panel->hideAnimation_Action();
        QResizeEvent lateAgain(QSize(220, h), QSize(200, h));
        QCoreApplication::sendEvent(panel, &lateAgain);
        QCOMPARE(panel->panelWidth(), 180);
        delete panel;
    }

    void slideOutInRealTimeStartsTheConversionWhenOpen() {
        QPointer<wQueue> panel = makePanel(filesNamed({"a", "b"}));
        QList<int> widths;
        connect(panel->showAnimation(), &QTimer::timeout, this,
                [&] { widths << panel->panelWidth(); });
        panel->show();
        QVERIFY(panel->isVisible());
        QVERIFY(panel->isWindow());
        QVERIFY(panel->windowFlags() & Qt::FramelessWindowHint);
        QTRY_COMPARE_WITH_TIMEOUT(started_, 1, 20000);

        QCOMPARE(widthsAtStart_, QList<int>({220}));
        QCOMPARE(widths, QList<int>({20, 40, 60, 80, 100, 120, 140, 160, 180, 200, 220, 220}));
        QVERIFY(!panel->showAnimation()->isActive());
        delete panel;
    }

    void slideInClosesTheOpenPanel() {
        QPointer<wQueue> panel = makePanel(filesNamed({"a"}));
        panel->show();
        QTRY_COMPARE_WITH_TIMEOUT(started_, 1, 20000);

        QList<int> widths;
        QList<bool> shown;
        connect(panel->hideAnimation(), &QTimer::timeout, this, [&] {
            widths << panel->panelWidth();
            shown << panel->isVisible();
        });
        panel->animatedHide();
        QTRY_VERIFY_WITH_TIMEOUT(panel.isNull(), 20000);
        QCOMPARE(widths, QList<int>({200, 180, 160, 140, 120, 100, 80, 60, 40, 20, 0, 0}));
        QCOMPARE(shown.count(true), 11); // the 12th tick closes the panel
        QVERIFY(!shown.last());
        QCOMPARE(started_, 1);
    }

    void slideInStopsAfterFifteenSteps() {
        QPointer<wQueue> panel = makePanel(filesNamed({"a"}));
        panel->show();
        QTRY_COMPARE_WITH_TIMEOUT(started_, 1, 20000);
        panel->resize(500, panel->height()); // widened from outside the slide
        QTRY_COMPARE_WITH_TIMEOUT(panel->panelWidth(), 500, 20000);

        for (int tick = 1; tick <= 15; ++tick)
            panel->hideAnimation_Action();
        QCOMPARE(panel->counter(), 15);
        QCOMPARE(panel->panelWidth(), 200);
        QVERIFY(panel->isVisible());

        panel->hideAnimation_Action(); // the 16th tick closes, whatever the width
        QVERIFY(!panel->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(panel.isNull(), 20000);
    }
};

QTEST_MAIN(TestQueue)
#include "tst_queue.moc"
