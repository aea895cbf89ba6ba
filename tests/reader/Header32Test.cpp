#include "ReaderFixture.h"

#include "platform/Errors.h"
#include "reader/Reader.h"
#include "support/LegacyDoc.h"

#include <gtest/gtest.h>

namespace qmk::test {
namespace {

class Header32Test : public ReaderTest {};

TEST_F(Header32Test, ReadsTheFirstBlockAndThePrintTitleAt114Only) {
    Doc32 d;
    d.serialNb(0xFFFFFFFF).coded(1).untilLine(0).maxEcrCount(0x7FFF).digCount(4);
    d.decPtSign(',').thSepSign(0xCA).int0Sign('0').frac0Sign('0').dtSepSign('-');
    d.titre("Cabinet").lingua(3).docOpenFlag(9).bouclDef(-1);
    // Everything after 71 but the print title would be Plus / X fields: none is read.
    d.raw(72, std::string(42, '\x05')).printTitle("Bilan");
    d.raw(120, std::string(1256 - 120, '\x0C'));
    open(d.bytes());
    const VLQmkaProVersion before = *s.qmkaVrs;
    QM32readQmkaVrs(s, post);
    const VLQmkaProVersion& h = *s.qmkaVrs;

    EXPECT_EQ(h.serialNb, -1);
    EXPECT_TRUE(h.coded);
    EXPECT_FALSE(h.untilLine);
    EXPECT_EQ(h.maxEcrCount, 32767);
    EXPECT_EQ(h.digCount, 4);
    EXPECT_EQ(h.decPtSign.bytes, ",");
    EXPECT_EQ(h.thSepSign.bytes, "\xC3\x8A"); // U+00CA for the byte 0xCA
    EXPECT_EQ(h.int0Sign.bytes, "0");
    EXPECT_EQ(h.dtSepSign.bytes, "-");
    EXPECT_EQ(h.titre.bytes, "Cabinet");
    EXPECT_EQ(h.titre.encoding, TextEncoding::MacRoman);
    EXPECT_EQ(h.lingua, 3);
    EXPECT_TRUE(h.docOpenFlag);
    EXPECT_EQ(h.bouclDef, -1);
    EXPECT_EQ(h.printTitle.bytes, "Bilan");
    EXPECT_EQ(h.printTitle.encoding, TextEncoding::MacRoman);
    EXPECT_EQ(s.fileBS->Position(), 115 + 5);
    EXPECT_EQ(post.status(), "Reprise des entêtes…");

    // The rest keeps the working defaults.
    EXPECT_EQ(h.catNb, 0);
    EXPECT_TRUE(h.wOrdre.empty());
    EXPECT_EQ(h.plan_size, 13);
    EXPECT_EQ(h.search_size, 0);
    EXPECT_EQ(h.lastBackup.bytes, "000101");
    EXPECT_EQ(h.plan_top, 43);
    EXPECT_EQ(h.currencies_height, 300);
    EXPECT_TRUE(h.notSharedDoc);

    // Only the fifteen properties read differ from the defaults.
    VLQmkaProVersion back = h;
    back.serialNb = before.serialNb;
    back.coded = before.coded;
    back.untilLine = before.untilLine;
    back.maxEcrCount = before.maxEcrCount;
    back.digCount = before.digCount;
    back.decPtSign = before.decPtSign;
    back.thSepSign = before.thSepSign;
    back.int0Sign = before.int0Sign;
    back.frac0Sign = before.frac0Sign;
    back.dtSepSign = before.dtSepSign;
    back.titre = before.titre;
    back.lingua = before.lingua;
    back.docOpenFlag = before.docOpenFlag;
    back.bouclDef = before.bouclDef;
    back.printTitle = before.printTitle;
    EXPECT_EQ(dumpHeader(back), dumpHeader(before));
}

// A 3.2 header cut short fails at the field where it stopped; its first 120
// bytes are the whole header, print title included.
TEST_F(Header32Test, AHeaderCutShortFailsAtTheFieldWhereItStopped) {
    Doc32 d;
    d.serialNb(5).titre("Cabinet").printTitle("Bilan");
    const struct {
        size_t length;
        int64_t needed;
    } cases[] = {{0, 6}, {3, 6}, {24, 25}, {30, 32}, {71, 72}, {114, 115}, {117, 120}, {119, 120}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        open(Doc32(d).resize(c.length).bytes());
        try {
            QM32readQmkaVrs(s, post);
            ADD_FAILURE() << "read in full";
        } catch (const TruncatedDocument& e) {
            EXPECT_EQ(e.length(), static_cast<int64_t>(c.length));
            EXPECT_EQ(e.needed(), c.needed);
        }
    }
    open(d.bytes());
    QM32readQmkaVrs(s, post);
    const std::string full = dumpHeader(*s.qmkaVrs);
    open(Doc32(d).resize(120).bytes());
    QM32readQmkaVrs(s, post);
    EXPECT_EQ(dumpHeader(*s.qmkaVrs), full);
}

TEST_F(Header32Test, OlderEditionsPostTheHeaderStatusOnly) {
    const struct {
        const char* name;
        void (*handler)(StatusPoster&);
    } handlers[] = {{"3206", QM32ProreadQmkaVrs},
                    {"1", QMClassicreadQmkaVrs},
                    {"3000", QM30readQmkaVrs},
                    {"2000", QM21readQmkaVrs},
                    {"1900", QM19readQmkaVrs}};
    for (const auto& c : handlers) {
        SCOPED_TRACE(c.name);
        ConversionHandoff local;
        c.handler(local);
        EXPECT_EQ(local.status(), "Reprise des entêtes…");
        EXPECT_EQ(local.windowTitle(), "Quillmark Pro Converter");
    }
    EXPECT_TRUE(pacer.pauses().empty());
    EXPECT_EQ(pacer.yields.load(), 0);
}

} // namespace
} // namespace qmk::test
