// The bundled examples do what the run command promises: the Plus / X document
// converts with its chart of accounts and journal, the 3.2 document converts,
// the Pro document is refused and nothing is written for it.
#include "conversion/Conversion.h"
#include "model/Globals.h"
#include "platform/Text.h"
#include "platform/Worker.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace qmk;

namespace {

// A length-prefixed MacRoman slot as UTF-8.
std::string slotText(std::string_view slot) {
    const size_t n = std::min<size_t>(uint8_t(slot[0]), slot.size() - 1);
    return ConvertEncoding(DefineEncoding(std::string(slot.substr(1, n)), TextEncoding::MacRoman),
                           TextEncoding::UTF8)
        .bytes;
}

} // namespace

class TestExamples : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    // The hand-off after one conversion, and the records its document was left with.
    struct Converted : ConversionHandoff {
        std::vector<DB_Format::CptRecord> accounts;
        std::vector<DB_Format::EcrRecord> ecritures;
    };

    // Converts a scratch copy of one example, headless and without pauses.
    std::unique_ptr<Converted> convert(const QString& example) {
        const QString source =
            QFileInfo(QString(__FILE__)).dir().filePath("../../examples/" + example);
        const QString copy = dir_.filePath(example);
        if (!QFile::copy(source, copy))
            return nullptr;
        auto s = std::make_unique<Converted>();
        s->setFileToConvert(FolderItem(copy.toStdString()));
        InstantPacer pacer;
        ScopedPacer scoped(pacer);
        convertThread_Run(
            *s, [] {},
            [&s](ConversionDocument& d, ConversionHandoff& h) {
                conversion(d, h);
                s->accounts = d.accounts;
                s->ecritures = d.ecritures;
            });
        return s;
    }

  private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void plusXDocumentConvertsWithAccountsAndJournal() {
        auto s = convert("plus-x.qmkx");
        QVERIFY(s);
        QCOMPARE(QString::fromStdString(s->errorMsg()), QString());
        QVERIFY(s->newFile());
        QCOMPARE(QString::fromStdString(s->newFile()->AbsolutePath()),
                 dir_.filePath("plus-x.qmkp"));
        QVERIFY(QFileInfo(dir_.filePath("plus-x.qmkp")).size() > 129804);

        QStringList names;
        for (int i = 1; i <= 11; ++i)
            names << QString::fromStdString(slotText(s->accounts.at(i).name.view()));
        QCOMPARE(names, QStringList({"Caisse", "Banque cantonale", "Débiteurs", "Créanciers",
                                     "Capital propre", "Ventes de marchandises",
                                     "Achats de marchandises", "Loyer", "Frais de bureau",
                                     "Téléphone et internet", "Frais bancaires"}));
        QCOMPARE(s->ecritures.size(), size_t(9));
        QCOMPARE(QString::fromStdString(slotText(s->ecritures.at(3).label.view())),
                 QString("Achat de marchandises, facture n° 4512"));
        QCOMPARE(s->ecritures.at(8).nextRec, 0);
    }

    void v32DocumentConverts() {
        auto s = convert("v32.qmk3");
        QVERIFY(s);
        QCOMPARE(QString::fromStdString(s->errorMsg()), QString());
        QVERIFY(QFileInfo::exists(dir_.filePath("v32.qmkp")));
    }

    void proDocumentIsRefused() {
        auto s = convert("pro.qmkp");
        QVERIFY(s);
        QCOMPARE(QString::fromStdString(s->errorMsg()),
                 QString::fromStdString(Globals::kVersionPro()));
        QVERIFY(!QFileInfo::exists(dir_.filePath("pro_1.qmkp")));
    }
};

QTEST_GUILESS_MAIN(TestExamples)
#include "tst_examples.moc"
