// The drop box with its picture files missing at start: the window still opens, and
// each later use tries the files again.
#include "app/AnimationView.h"
#include "app/Controls.h"
#include "app/Resources.h"
#include "app/wMain.h"

#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QtTest>

using namespace qmk;

class PicturesTest : public QObject {
    Q_OBJECT

  private slots:
    void missingPicturesAreTriedAgain() {
        QTemporaryDir tmp;
        SetResourcesFolder(tmp.path());
        auto put = [&](const char* name) {
            QVERIFY(QFile::copy(QString(QMK_RESOURCES_DIR) + "/" + name, tmp.path() + "/" + name));
        };

        wMain w;
        QVERIFY(w.isVisible());
        QVERIFY(w.ccDropFile()->backdrop().isNull());
        QVERIFY(!w.ccConvert()->isVisible());

        put("icon-drop-box-hover.png");
        w.Event_DragOver();
        QVERIFY(!w.ccDropFile()->backdrop().isNull());
        w.Event_DragExit();
        QVERIFY(w.ccDropFile()->backdrop().isNull());

        put("icon-drop-box.png");
        w.DisplayConversion(true);
        w.DisplayConversion(false);
        QVERIFY(!w.ccDropFile()->backdrop().isNull());
        QCOMPARE(w.ccDropFile()->backdrop().cacheKey(), icondropbox().cacheKey());
    }

    // The dashed outline turns the same way at its four corners: each corner block
    // of the picture, mirrored into the top-left one, is that block.
    void dropBoxPicturesHaveFourLikeCorners_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("normal") << "icon-drop-box.png";
        QTest::newRow("hover") << "icon-drop-box-hover.png";
    }
    void dropBoxPicturesHaveFourLikeCorners() {
        QFETCH(QString, file);
        const QImage img =
            QImage(QString(QMK_RESOURCES_DIR) + "/" + file).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(img.size(), QSize(100, 100));
        constexpr int n = 26; // the rounded corner and the start of both sides, no drawing
        const QImage topLeft = img.copy(0, 0, n, n);
        const QImage corners[] = {
            img.copy(100 - n, 0, n, n).mirrored(true, false),
            img.copy(0, 100 - n, n, n).mirrored(false, true),
            img.copy(100 - n, 100 - n, n, n).mirrored(true, true),
            topLeft.transformed(QTransform(0, 1, 1, 0, 0, 0)), // across the diagonal
        };
        for (const QImage& corner : corners)
            for (int y = 0; y < n; ++y)
                for (int x = 0; x < n; ++x)
                    QVERIFY2(qAlpha(corner.pixel(x, y)) == qAlpha(topLeft.pixel(x, y)),
                             qPrintable(QString("at %1, %2").arg(x).arg(y)));
        // The arc itself is drawn whole: solid where it crosses the diagonal.
        QVERIFY(qAlpha(topLeft.pixel(9, 9)) > 200);
    }
};

QTEST_MAIN(PicturesTest)
#include "tst_pictures.moc"
