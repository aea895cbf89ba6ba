// The animation's URL and view, and the picture caches' retry after a failed open.
#include "app/AnimationView.h"
#include "app/Resources.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace qmk;

namespace {
const QString kGif = QString(QMK_RESOURCES_DIR) + "/convert-animation.gif";
}

class AnimationTest : public QObject {
    Q_OBJECT

  private slots:
    void urlOfAPath_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("url");
        QTest::newRow("plain") << "/opt/qmk/Resources/convert-animation.gif"
                               << "file:///opt/qmk/Resources/convert-animation.gif";
        QTest::newRow("blanks") << "/Users/anne/Mes Applications/Quillmark  Pro/Resources/a.gif"
                                << "file:///Users/anne/Mes%20Applications/Quillmark%20%20Pro/"
                                   "Resources/a.gif";
        QTest::newRow("other characters pass") << "/home/zoé/l'été #2 & co?/a.gif"
                                               << "file:///home/zoé/l'été%20#2%20&%20co?/a.gif";
    }
    void urlOfAPath() {
        QFETCH(QString, path);
        QFETCH(QString, url);
        QCOMPARE(AnimationURL(path), url);
        QCOMPARE(PathFromAnimationURL(url), path);
    }

    void notAFileUrl() {
        QCOMPARE(PathFromAnimationURL("http://example.invalid/a.gif"), QString());
        QCOMPARE(PathFromAnimationURL(""), QString());
    }

    void resourcesBesideTheExecutablesFolder() {
        QCOMPARE(ResourcesFolderOf("/opt/Mes Outils/bin/quillmark-pro-converter"),
                 QString("/opt/Mes Outils/Resources"));
        QCOMPARE(ResourcesFolderOf("/usr/local/bin/quillmark-pro-converter"),
                 QString("/usr/local/Resources"));
    }

    void playsFromAFolderWithBlanks() {
        QTemporaryDir tmp;
        const QString folder = tmp.path() + "/Mon Appli/Resources";
        QVERIFY(QDir().mkpath(folder));
        const QString gif = folder + "/convert-animation.gif";
        QVERIFY(QFile::copy(kGif, gif));

        AnimationView view;
        view.resize(388, 234);
        view.LoadURL(AnimationURL(gif));
        QCOMPARE(view.path(), gif);
        QVERIFY(view.loaded());
        QVERIFY(view.frameCount() > 1);
        QCOMPARE(view.currentImage().size(), QSize(388, 234));
        view.show();
        const int first = view.currentFrame();
        QTRY_VERIFY_WITH_TIMEOUT(view.currentFrame() != first, 20000);
    }

    void missingFileShowsAnEmptyView() {
        AnimationView view;
        view.resize(388, 234);
        view.LoadURL(AnimationURL("/nonexistent/Mon Appli/Resources/convert-animation.gif"));
        QVERIFY(!view.loaded());
        QCOMPARE(view.frameCount(), 0);
        view.show();
        view.Refresh(true);
        QVERIFY(!QApplication::activeModalWidget());
        // A file that is there but is no picture is as good as missing.
        QTemporaryDir tmp;
        QFile junk(tmp.path() + "/convert-animation.gif");
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a picture");
        junk.close();
        view.LoadURL(AnimationURL(junk.fileName()));
        QVERIFY(!view.loaded());
    }

    void readOnlyEditActions() {
        AnimationView view;
        QClipboard* clip = QGuiApplication::clipboard();
        clip->setText("avant");
        QVERIFY(!view.selectAll()); // nothing loaded, nothing to select
        view.LoadURL(AnimationURL(kGif));
        QVERIFY(!view.copy());
        QVERIFY(view.selectAll());
        QVERIFY(!view.cut());
        QVERIFY(!view.paste());
        QVERIFY(!view.clear());
        QCOMPARE(clip->text(), QString("avant"));
        QVERIFY(view.copy());
        QCOMPARE(clip->image().size(), QSize(388, 234));
        // A new load drops the selection.
        view.LoadURL(AnimationURL(kGif));
        QVERIFY(!view.selected());
    }

    void pictureRetriedUntilItOpens() {
        QTemporaryDir tmp;
        SetResourcesFolder(tmp.path());
        PictureCache cache("icon-drop-box.png");
        QVERIFY(cache.get().isNull());
        QVERIFY(cache.get().isNull());
        QVERIFY(QFile::copy(QString(QMK_RESOURCES_DIR) + "/icon-drop-box.png",
                            tmp.path() + "/icon-drop-box.png"));
        const QPixmap opened = cache.get();
        QCOMPARE(opened.size(), QSize(100, 100));
        // Once opened it is kept for the run, even if the file goes.
        QVERIFY(QFile::remove(tmp.path() + "/icon-drop-box.png"));
        QCOMPARE(cache.get().cacheKey(), opened.cacheKey());
        SetResourcesFolder(QString());
    }
};

QTEST_MAIN(AnimationTest)
#include "tst_animation.moc"
