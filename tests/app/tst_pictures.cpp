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
};

QTEST_MAIN(PicturesTest)
#include "tst_pictures.moc"
