// The end-of-batch reveal: the macOS command text, osascript's arguments run
// without a shell, and the file manager on a private session bus, with paths
// that a shell would misread or that are not UTF-8. The test always runs itself
// on a bus of its own (dbus-run-session), so its fake file manager never meets a
// real desktop's.
#include "ByteNames.h"
#include "Recorder.h"
#include "app/Reveal.h"
#include "support/LegacyDoc.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace Reveal = qmk::Reveal;
using namespace qmk::test;

namespace {

constexpr const char* kPrivateBusMark = "QMK_REVEAL_TEST_BUS";

// What a hostile or merely unusual document name looks like; each would break
// the command line if it were handed to a shell.
const QStringList kAwkwardNames = {
    "Compta 2021 (copie).qmkp",     "Le \"grand\" livre.qmkp",
    "L'exercice d'Anne.qmkp",       "back\\slash.qmkp",
    "$(touch pwned).qmkp",          "`touch pwned`.qmkp",
    "a'b\"c\\d; touch pwned .qmkp",
};

QStringList recordedArguments(const QString& program) {
    QStringList args;
    for (const QByteArray& a : recordedBytes(program))
        args << QString::fromUtf8(a);
    return args;
}

// The path a file:// URI names, as bytes.
QByteArray bytesOfUri(const QString& uri) {
    return uri.startsWith("file://") ? QByteArray::fromPercentEncoding(uri.mid(7).toLatin1())
                                     : QByteArray();
}

} // namespace

// The file manager's side of ShowItems, as a desktop would offer it.
class FakeFileManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

  public:
    enum class Mode { Answer, Fail, Hang };
    Mode mode = Mode::Answer;
    QList<QStringList> received;

  public slots:
    void ShowItems(const QStringList& uris, const QString& startupId) {
        Q_UNUSED(startupId);
        received << uris;
        if (mode == Mode::Fail)
            sendErrorReply(QDBusError::Failed, "cannot show");
        else if (mode == Mode::Hang)
            setDelayedReply(true); // and never reply
    }
};

class TestReveal : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString opener_;
    QString osascript_;

    QString document(const QString& name) {
        const QString path = dir_.path() + "/" + name;
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write("doc");
        return path;
    }
    bool pwned() const {
        return QFile::exists(dir_.path() + "/pwned") ||
               QFile::exists(QDir::currentPath() + "/pwned");
    }

  private slots:
    void initTestCase() {
        QCOMPARE(qEnvironmentVariable(kPrivateBusMark), QString("private"));
        QVERIFY(QDBusConnection::sessionBus().isConnected());
        QVERIFY(dir_.isValid());
        // A shell run from here would leave its "pwned" file in this folder.
        QVERIFY(QDir::setCurrent(dir_.path()));
        opener_ = writeRecorder(dir_.path(), "fake-xdg-open");
        osascript_ = writeRecorder(dir_.path(), "fake-osascript");
        QVERIFY(!opener_.isEmpty() && !osascript_.isEmpty());
    }
    void init() {
        QFile::remove(opener_ + ".args");
        QFile::remove(osascript_ + ".args");
    }

    void commandTextHoldsThePathAsItIs_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain")
            << "/Users/anne/Compta 2021.qmkp"
            << "osascript -e 'Tell application \"Finder\" to reveal \"/Users/anne/Compta "
               "2021.qmkp\"' -e 'Tell application \"Finder\" to activate'";
        QTest::newRow("parentheses")
            << "/Users/anne/Compta 2021 (copie).qmkp"
            << "osascript -e 'Tell application \"Finder\" to reveal \"/Users/anne/Compta 2021 "
               "(copie).qmkp\"' -e 'Tell application \"Finder\" to activate'";
        QTest::newRow("double quotes")
            << "/Users/anne/Le \"grand\" livre.qmkp"
            << "osascript -e 'Tell application \"Finder\" to reveal \"/Users/anne/Le \"grand\" "
               "livre.qmkp\"' -e 'Tell application \"Finder\" to activate'";
        QTest::newRow("apostrophes")
            << "/Users/anne/L'exercice d'Anne.qmkp"
            << "osascript -e 'Tell application \"Finder\" to reveal \"/Users/anne/L'exercice "
               "d'Anne.qmkp\"' -e 'Tell application \"Finder\" to activate'";
        QTest::newRow("backslash")
            << "/Users/anne/back\\slash.qmkp"
            << "osascript -e 'Tell application \"Finder\" to reveal "
               "\"/Users/anne/back\\slash.qmkp\"' -e 'Tell application \"Finder\" to activate'";
        QTest::newRow("shell syntax")
            << "/Users/anne/$(touch pwned)`touch pwned`.qmkp"
            << "osascript -e 'Tell application \"Finder\" to reveal \"/Users/anne/$(touch "
               "pwned)`touch pwned`.qmkp\"' -e 'Tell application \"Finder\" to activate'";
        QTest::newRow("accents")
            << "/Users/anne/Société générale.qmkp"
            << "osascript -e 'Tell application \"Finder\" to reveal \"/Users/anne/Société "
               "générale.qmkp\"' -e 'Tell application \"Finder\" to activate'";
    }
    void commandTextHoldsThePathAsItIs() {
        QFETCH(QString, path);
        QFETCH(QString, text);
        QCOMPARE(Reveal::commandText(path), text);
    }

    void osascriptArgumentsEscapeThePath_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("inString");
        QTest::newRow("plain") << "/Users/anne/Compta 2021.qmkp"
                               << "/Users/anne/Compta 2021.qmkp";
        QTest::newRow("double quotes") << "/a/Le \"grand\" livre"
                                       << "/a/Le \\\"grand\\\" livre";
        QTest::newRow("backslash") << "/a/back\\slash"
                                   << "/a/back\\\\slash";
        QTest::newRow("escaped quote") << "/a/\\\""
                                       << "/a/\\\\\\\"";
        QTest::newRow("apostrophe") << "/a/L'exercice"
                                    << "/a/L'exercice";
        QTest::newRow("shell syntax") << "/a/$(touch pwned)`x`"
                                      << "/a/$(touch pwned)`x`";
        QTest::newRow("accents") << "/a/Société générale"
                                 << "/a/Société générale";
    }
    void osascriptArgumentsEscapeThePath() {
        QFETCH(QString, path);
        QFETCH(QString, inString);
        QCOMPARE(Reveal::osascriptArguments(path),
                 QStringList({"-e", "Tell application \"Finder\" to reveal \"" + inString + "\"",
                              "-e", "Tell application \"Finder\" to activate"}));
    }

    void argumentsSayWhatTheCommandTextSays() {
        // For a path without quote characters the shell's reading of the command
        // text and the argument list are the same two statements.
        const QString path = "/Users/anne/Compta 2021.qmkp";
        const QStringList args = Reveal::osascriptArguments(path);
        QCOMPARE("osascript " + args[0] + " '" + args[1] + "' " + args[2] + " '" + args[3] + "'",
                 Reveal::commandText(path));
    }

    void osascriptGetsThePathWithoutAShell() {
        for (const QString& name : kAwkwardNames) {
            init();
            const QString path = document(name);
            QVERIFY(Reveal::startOsascript(path, osascript_));
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(osascript_ + ".args"), 20000);
            QCOMPARE(recordedArguments(osascript_), Reveal::osascriptArguments(path));
        }
        QVERIFY(!pwned());
    }

    void fileManagerReceivesTheDocumentUri() {
        FakeFileManager fake;
        QDBusConnection fm = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake-fm");
        QVERIFY(fm.registerObject("/org/freedesktop/FileManager1", &fake,
                                  QDBusConnection::ExportAllSlots));
        QVERIFY(fm.registerService("org.freedesktop.FileManager1"));

        for (const QString& name : kAwkwardNames) {
            const QString path = document(name);
            int shown = -1;
            Reveal::showOnBus(
                QFile::encodeName(path), QDBusConnection::sessionBus(),
                [&](bool ok) { shown = ok; }, QFile::encodeName(opener_));
            QTRY_COMPARE_WITH_TIMEOUT(shown, 1, 20000);
            QCOMPARE(fake.received.size(), 1);
            const QStringList uris = fake.received.takeFirst();
            QCOMPARE(uris.size(), 1);
            QVERIFY2(uris[0].startsWith("file:///"), qPrintable(uris[0]));
            QCOMPARE(QUrl(uris[0]).toLocalFile(), path);
        }
        QCOMPARE(Reveal::fileUri("/tmp/x/Le \"grand\" livre d'Anne\\$(touch pwned).qmkp"),
                 QString("file:///tmp/x/"
                         "Le%20%22grand%22%20livre%20d%27Anne%5C%24%28touch%20pwned%29.qmkp"));

        // The entry point takes the same road on this platform.
        const QString last = document("Société Dupont.qmkp");
        Reveal::revealDocument(QFile::encodeName(last));
        QTRY_COMPARE_WITH_TIMEOUT(fake.received.size(), 1, 20000);
        QCOMPARE(fake.received[0].size(), 1);
        QCOMPARE(bytesOfUri(fake.received[0][0]), QFile::encodeName(last));

        QVERIFY(!QFile::exists(opener_ + ".args")); // the file manager answered
        QVERIFY(!pwned());
        fm.unregisterService("org.freedesktop.FileManager1");
        QDBusConnection::disconnectFromBus("fake-fm");
    }

    void folderOpensWhenNoFileManagerAnswers_data() {
        QTest::addColumn<int>("mode"); // -1: nobody on the bus
        QTest::addColumn<bool>("connected");
        QTest::newRow("no file manager") << -1 << true;
        QTest::newRow("error reply") << int(FakeFileManager::Mode::Fail) << true;
        QTest::newRow("no reply in time") << int(FakeFileManager::Mode::Hang) << true;
        QTest::newRow("no bus") << -1 << false;
    }
    void folderOpensWhenNoFileManagerAnswers() {
        QFETCH(int, mode);
        QFETCH(bool, connected);
        FakeFileManager fake;
        QDBusConnection fm = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake-fm");
        if (mode >= 0) {
            fake.mode = FakeFileManager::Mode(mode);
            QVERIFY(fm.registerObject("/org/freedesktop/FileManager1", &fake,
                                      QDBusConnection::ExportAllSlots));
            QVERIFY(fm.registerService("org.freedesktop.FileManager1"));
        }
        const QDBusConnection bus =
            connected ? QDBusConnection::sessionBus() : QDBusConnection("not connected");

        const QString path = document("L'exercice $(touch pwned).qmkp");
        int shown = -1;
        Reveal::showOnBus(
            QFile::encodeName(path), bus, [&](bool ok) { shown = ok; }, QFile::encodeName(opener_),
            500);
        QTRY_COMPARE_WITH_TIMEOUT(shown, 0, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(opener_ + ".args"), 20000);
        QCOMPARE(recordedArguments(opener_), QStringList({dir_.path()}));
        QVERIFY(!pwned());

        if (mode >= 0)
            fm.unregisterService("org.freedesktop.FileManager1");
        QDBusConnection::disconnectFromBus("fake-fm");
    }

    // The program converts a document in a folder named with Latin-1 bytes, beside
    // a folder named with their lossy reading that holds a document of the same
    // name: at the end of the batch the file manager is shown the document written,
    // or its folder is opened, and never the other.
    void revealNamesTheDocumentWritten_data() {
        QTest::addColumn<bool>("fileManager");
        QTest::newRow("file manager on the bus") << true;
        QTest::newRow("no file manager: the folder opens") << false;
    }
    void revealNamesTheDocumentWritten() {
        QFETCH(bool, fileManager);
        QTemporaryDir base;
        QVERIFY(base.isValid());
        const QByteArray root = QFile::encodeName(base.path());
        const QByteArray latin = root + "/Compta \xE9t\xE9";                 // as on an old volume
        const QByteArray lossy = root + "/Compta \xEF\xBF\xBDt\xEF\xBF\xBD"; // its reading as UTF-8
        for (const QByteArray& d : {latin, lossy, root + "/home", root + "/bin"})
            QVERIFY(::mkdir(d.constData(), 0700) == 0);
        const QByteArray runtime = root + "/runtime";
        QVERIFY(::mkdir(runtime.constData(), 0700) == 0);
        Doc32 doc;
        doc.titre("Ancien dossier").maxEcrCount(0).printTitle("Bilan");
        QVERIFY(writeBytesFile(latin + "/Livre.qmk3", doc.bytes()));
        QVERIFY(writeBytesFile(lossy + "/Livre.qmkp", "decoy"));
        const QString opener = writeRecorder(base.path() + "/bin", "xdg-open");
        QVERIFY(!opener.isEmpty());

        FakeFileManager fake;
        QDBusConnection fm = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake-fm");
        if (fileManager) {
            QVERIFY(fm.registerObject("/org/freedesktop/FileManager1", &fake,
                                      QDBusConnection::ExportAllSlots));
            QVERIFY(fm.registerService("org.freedesktop.FileManager1"));
        }
        auto cleanup = qScopeGuard([&] {
            if (fileManager)
                fm.unregisterService("org.freedesktop.FileManager1");
            QDBusConnection::disconnectFromBus("fake-fm");
            removeAll(latin);
            removeAll(lossy);
        });

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", base.path() + "/home");
        env.insert("XDG_RUNTIME_DIR", QFile::decodeName(runtime));
        env.remove("XDG_CACHE_HOME");
        env.insert("PATH", base.path() + "/bin:" + env.value("PATH"));
        QProcess program;
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        // The folder's name as bytes, through the shell that the program replaces.
        program.start("/bin/sh",
                      {"-c", "cd " + shellWord(latin) + " && exec \"$0\" Livre.qmk3", QMK_PROGRAM});
        QVERIFY(program.waitForStarted(20000));
        auto quit = qScopeGuard([&] {
            program.terminate();
            program.waitForFinished(20000);
        });

        if (fileManager) {
            QTRY_COMPARE_WITH_TIMEOUT(fake.received.size(), 1, 60000);
            QCOMPARE(fake.received[0].size(), 1);
            const QString uri = fake.received[0][0];
            QVERIFY2(uri.startsWith("file:///"), qPrintable(uri));
            QCOMPARE(bytesOfUri(uri), latin + "/Livre.qmkp");
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(opener + ".args"), 60000);
            QCOMPARE(recordedBytes(opener), QByteArrayList({latin}));
        }
        QVERIFY(existsAsBytes(latin + "/Livre.qmkp"));
        quit.dismiss();
        program.terminate();
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }
};

// Runs the tests on a private session bus with no service activation; without
// one, runs itself again under dbus-run-session.
int main(int argc, char** argv) {
    if (qEnvironmentVariable(kPrivateBusMark) != "private") {
        const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
        const std::string config = (self.parent_path() / "tst_reveal-bus.conf").string();
        QFile f(QString::fromStdString(config));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 2;
        f.write(
            "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN\"\n"
            " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
            "<busconfig>\n"
            "  <type>session</type>\n"
            "  <listen>unix:tmpdir=/tmp</listen>\n"
            "  <auth>EXTERNAL</auth>\n"
            "  <policy context=\"default\">\n"
            "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
            "    <allow eavesdrop=\"true\"/>\n"
            "    <allow own=\"*\"/>\n"
            "  </policy>\n"
            "</busconfig>\n");
        f.close();
        setenv(kPrivateBusMark, "private", 1);
        std::string configArg = "--config-file=" + config;
        std::vector<char*> args{const_cast<char*>("dbus-run-session"), configArg.data(),
                                const_cast<char*>("--"), const_cast<char*>(self.c_str())};
        for (int i = 1; i < argc; ++i)
            args.push_back(argv[i]);
        args.push_back(nullptr);
        execvp("dbus-run-session", args.data());
        perror("dbus-run-session");
        return 2;
    }
    QCoreApplication app(argc, argv);
    TestReveal test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_reveal.moc"
