#include "ReaderFixture.h"

#include "platform/Errors.h"
#include "reader/Reader.h"
#include "support/LegacyDoc.h"

#include <gtest/gtest.h>

namespace qmk::test {
namespace {

class PlusXHeaderTest : public ReaderTest {
  protected:
    const VLQmkaProVersion& read(const PlusXDoc& d) {
        open(d.bytes());
        QMXreadQmkaVrs(s, post);
        return *s.qmkaVrs;
    }
};

// Every field gets a value of its own, so a field read from a neighbour's offset,
// or with the wrong width or sign, shows.
TEST_F(PlusXHeaderTest, ReadsEveryFieldFromItsOffset) {
    PlusXDoc d;
    d.serialNb(123456789).coded(1).untilLine(0).maxEcrCount(321).digCount(3);
    d.decPtSign(',').thSepSign(' ').int0Sign('0').frac0Sign('_').dtSepSign('/');
    d.titre("Compta 2003").lingua(-2).docOpenFlag(5).bouclDef(-3).catNb(4);
    d.change(1).changePropose(2).ignoreChange(0).ignoreTVA(0).TVA(1).TVAControl(77);
    d.top(View::clip, 11).left(View::clip, -12).height(View::clip, 13);
    d.zoomed(View::clip, 1).res(View::clip, 1);
    const View sixes[] = {View::plan, View::jrnl, View::bal, View::curr};
    int base = 100;
    for (View v : sixes) {
        d.top(v, base + 1).left(v, -(base + 2)).height(v, base + 3).zoomed(v, 1).res(v, 0);
        d.firstLine(v, base + 4).actLine(v, -(base + 5));
        base += 100;
    }
    for (View v : {View::extr1, View::extr2}) {
        d.top(v, 40000 + base).left(v, -(base + 2)).height(v, 50000 + base);
        d.zoomed(v, 0).res(v, 3).firstLine(v, 60000 + base).actLine(v, 61000 + base);
        d.actCpte(v, -(base + 9));
        base += 100;
    }
    d.size(View::plan, 12).size(View::jrnl, 14).size(View::bal, 16).size(View::curr, 18);
    d.size(View::extr1, 20).size(View::extr2, 24).size(View::search, 22);
    d.top(View::search, 65000).left(View::search, 65001).height(View::search, 65002);
    d.wOrdre({5, 1, 9}).printTitle("Grand livre").merloFont(0).res2(1).res3(-7);
    d.mypPatNo(-9).lastBackup("030415", -4, 0);

    const VLQmkaProVersion& h = read(d);
    EXPECT_EQ(h.serialNb, 123456789);
    EXPECT_TRUE(h.coded);
    EXPECT_FALSE(h.untilLine);
    EXPECT_EQ(h.maxEcrCount, 321);
    EXPECT_EQ(h.digCount, 3);
    EXPECT_EQ(h.decPtSign.bytes, ",");
    EXPECT_EQ(h.thSepSign.bytes, " ");
    EXPECT_EQ(h.int0Sign.bytes, "0");
    EXPECT_EQ(h.frac0Sign.bytes, "_");
    EXPECT_EQ(h.dtSepSign.bytes, "/");
    EXPECT_EQ(h.titre.bytes, "Compta 2003");
    EXPECT_EQ(h.titre.encoding, TextEncoding::MacRoman);
    EXPECT_EQ(h.lingua, -2);
    EXPECT_TRUE(h.docOpenFlag);
    EXPECT_EQ(h.bouclDef, -3);
    EXPECT_EQ(h.catNb, 4);
    EXPECT_TRUE(h.change);
    EXPECT_TRUE(h.changePropose);
    EXPECT_FALSE(h.ignoreChange);
    EXPECT_FALSE(h.ignoreTVA);
    EXPECT_TRUE(h.TVA);
    EXPECT_EQ(h.TVAControl, 77);
    EXPECT_EQ(h.clip_top, 11);
    EXPECT_EQ(h.clip_left, -12);
    EXPECT_EQ(h.clip_height, 13);
    EXPECT_TRUE(h.clip_zoomed);
    EXPECT_TRUE(h.clip_res);

    EXPECT_EQ(h.plan_top, 101);
    EXPECT_EQ(h.plan_left, -102);
    EXPECT_EQ(h.plan_height, 103);
    EXPECT_TRUE(h.plan_zoomed);
    EXPECT_FALSE(h.plan_res);
    EXPECT_EQ(h.plan_1stline, 104);
    EXPECT_EQ(h.plan_actLine, -105);
    EXPECT_EQ(h.jrnl_top, 201);
    EXPECT_EQ(h.jrnl_left, -202);
    EXPECT_EQ(h.jrnl_height, 203);
    EXPECT_TRUE(h.jrnl_zoomed);
    EXPECT_EQ(h.jrnl_1stline, 204);
    EXPECT_EQ(h.jrnl_actLine, -205);
    EXPECT_EQ(h.bal_top, 301);
    EXPECT_EQ(h.bal_left, -302);
    EXPECT_EQ(h.bal_height, 303);
    EXPECT_TRUE(h.bal_zoomed);
    EXPECT_EQ(h.bal_1stline, 304);
    EXPECT_EQ(h.bal_actLine, -305);
    EXPECT_EQ(h.currencies_top, 401);
    EXPECT_EQ(h.currencies_left, -402);
    EXPECT_EQ(h.currencies_height, 403);
    EXPECT_TRUE(h.currencies_zoomed);
    EXPECT_FALSE(h.currencies_res);
    EXPECT_EQ(h.currencies_1stline, 404);
    EXPECT_EQ(h.currencies_actLine, -405);

    // The extracts keep 16 bits, unsigned where the view keeps them so.
    EXPECT_EQ(h.extr1_top, 40500);
    EXPECT_EQ(h.extr1_left, -502);
    EXPECT_EQ(h.extr1_height, 50500);
    EXPECT_FALSE(h.extr1_zoomed);
    EXPECT_TRUE(h.extr1_res);
    EXPECT_EQ(h.extr1_1stline, 60500);
    EXPECT_EQ(h.extr1_actLine, 61500);
    EXPECT_EQ(h.extr1_actCpte, -509);
    EXPECT_EQ(h.extr2_top, 40600);
    EXPECT_EQ(h.extr2_left, -602);
    EXPECT_EQ(h.extr2_height, 50600);
    EXPECT_TRUE(h.extr2_res);
    EXPECT_EQ(h.extr2_1stline, 60600);
    EXPECT_EQ(h.extr2_actLine, 61600);
    EXPECT_EQ(h.extr2_actCpte, -609);

    EXPECT_EQ(h.plan_size, 12);
    EXPECT_EQ(h.jrnl_size, 14);
    EXPECT_EQ(h.bal_size, 16);
    EXPECT_EQ(h.curr_Size, 18);
    EXPECT_EQ(h.extr1_size, 20);
    EXPECT_EQ(h.extr2_size, 24);
    EXPECT_EQ(h.search_size, 22);
    EXPECT_EQ(h.search_top, 65000);
    EXPECT_EQ(h.search_left, 65001);
    EXPECT_EQ(h.search_height, 65002);

    EXPECT_EQ(h.wOrdre, (std::vector<int64_t>{5, 1, 9}));
    EXPECT_EQ(h.printTitle.bytes, "Grand livre");
    EXPECT_EQ(h.printTitle.encoding, TextEncoding::MacRoman);
    EXPECT_FALSE(h.merloFont);
    EXPECT_TRUE(h.res2);
    EXPECT_EQ(h.res3, -7);
    EXPECT_EQ(h.mypPatNo, -9);
    EXPECT_EQ(h.lastBackup.bytes, "030415");
    EXPECT_EQ(h.nbModifications, -4);
    EXPECT_FALSE(h.notSharedDoc);

    EXPECT_EQ(post.status(), "Reprise des entêtes…");
    EXPECT_EQ(s.fileBS->Position(), 358 + 6);
    EXPECT_EQ(pacer.yields.load(), 10); // once per wOrdre value
}

TEST_F(PlusXHeaderTest, WideRawValuesKeepTheirBits) {
    PlusXDoc d;
    d.serialNb(0xFFFFFFFF).maxEcrCount(0x8000).TVAControl(0xFFFF).digCount(0xFFFF);
    const VLQmkaProVersion& h = read(d);
    EXPECT_EQ(h.serialNb, -1);
    EXPECT_EQ(h.maxEcrCount, -32768);
    EXPECT_EQ(h.TVAControl, 65535);
    EXPECT_EQ(h.digCount, -1);
}

TEST_F(PlusXHeaderTest, SizesOutside12To24BecomeThirteen) {
    const struct {
        int raw;
        int64_t expected;
    } cases[] = {{12, 12}, {24, 24}, {18, 18},     {11, 13},    {25, 13},
                 {0, 13},  {-1, 13}, {0x7FFF, 13}, {0x8000, 13}};
    const View views[] = {View::plan,  View::jrnl,  View::bal,   View::curr,
                          View::extr1, View::extr2, View::search};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raw);
        PlusXDoc d;
        for (View v : views)
            d.size(v, c.raw);
        const VLQmkaProVersion& h = read(d);
        EXPECT_EQ(h.plan_size, c.expected);
        EXPECT_EQ(h.jrnl_size, c.expected);
        EXPECT_EQ(h.bal_size, c.expected);
        EXPECT_EQ(h.curr_Size, c.expected);
        EXPECT_EQ(h.extr1_size, c.expected);
        EXPECT_EQ(h.extr2_size, c.expected);
        EXPECT_EQ(h.search_size, c.expected); // 65535 and 32768 are compared unsigned
    }
}

TEST_F(PlusXHeaderTest, OrderListKeepsOnlyPositiveValuesInOrder) {
    const struct {
        std::initializer_list<int> raw;
        std::vector<int64_t> expected;
    } cases[] = {
        {{3, 0, -2, 7, 0, 0, 0, 0, 0, 0}, {3, 7}},
        {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {}},
        {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {{0x8000, 0x7FFF, 0xFFFF, 0, 0, 0, 0, 0, 0, 4}, {32767, 4}},
    };
    for (const auto& c : cases) {
        PlusXDoc d;
        d.wOrdre(c.raw);
        EXPECT_EQ(read(d).wOrdre, c.expected);
    }
}

TEST_F(PlusXHeaderTest, UnplacedSecondExtractAndCurrenciesViewGetTheUsualPlace) {
    PlusXDoc zeros;
    const VLQmkaProVersion& z = read(zeros);
    EXPECT_EQ(z.extr2_top, 565);
    EXPECT_EQ(z.extr2_left, 10);
    EXPECT_EQ(z.extr2_height, 200);
    EXPECT_EQ(z.extr1_top, 0); // the first extract gets no fix-up
    EXPECT_EQ(z.extr1_left, 0);
    EXPECT_EQ(z.extr1_height, 0);
    EXPECT_EQ(z.currencies_top, 470);
    EXPECT_EQ(z.currencies_left, 700);
    EXPECT_EQ(z.currencies_height, 200);

    PlusXDoc minus;
    minus.top(View::extr2, -1).left(View::extr2, -1).height(View::extr2, 1);
    minus.top(View::curr, -1).left(View::curr, -1).height(View::curr, -1);
    const VLQmkaProVersion& m = read(minus);
    EXPECT_EQ(m.extr2_top, 65535);
    EXPECT_EQ(m.extr2_left, -1);
    EXPECT_EQ(m.extr2_height, 1);
    EXPECT_EQ(m.currencies_top, -1);
    EXPECT_EQ(m.currencies_left, -1);
    EXPECT_EQ(m.currencies_height, -1);
}

// The backup text has a length of its own; the two fields after it move with it.
TEST_F(PlusXHeaderTest, BackupDateIsNormalisedAndMovesTheFieldsAfterIt) {
    const struct {
        std::string text;
        const char* expected;
    } cases[] = {
        {"", "000101"},
        {"991231", "991231"},
        {"      ", "000101"}, // blanks only
        {" 0304 ", "020604"}, // untrimmed: year " 0", month "30" runs on, day "4 "
        {"300101", "000101"}, // later than today
        {"710101", "710101"},
        {"9912", "991212"}, // day from the last two characters
        {"ab", "000615"},   // no digits: year 2000, today's month and day
        {"99" + std::string(251, ' ') + "12", "990612"}, // all 255 bytes: day from the end
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        PlusXDoc d;
        d.lastBackup(c.text, 0x1234, 7);
        const VLQmkaProVersion& h = read(d);
        EXPECT_EQ(h.lastBackup.bytes, c.expected);
        EXPECT_EQ(h.nbModifications, 0x1234);
        EXPECT_TRUE(h.notSharedDoc);
        EXPECT_EQ(s.fileBS->Position(), static_cast<int64_t>(358 + c.text.size()));
    }
}

TEST_F(PlusXHeaderTest, SeparatorBytesBecomeTheCharacterOfThatCode) {
    const struct {
        uint8_t byte;
        const char* utf8;
    } cases[] = {{0x2E, "."},        {0x2C, ","},        {0x27, "'"},       {0x00, ""},
                 {0x80, "\xC2\x80"}, {0xA0, "\xC2\xA0"}, {0xFF, "\xC3\xBF"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.byte));
        PlusXDoc d;
        d.decPtSign(c.byte).thSepSign(c.byte).int0Sign(c.byte).frac0Sign(c.byte);
        d.dtSepSign(c.byte);
        const VLQmkaProVersion& h = read(d);
        const std::string want = c.byte == 0 ? std::string(1, '\0') : std::string(c.utf8);
        for (const String* sign :
             {&h.decPtSign, &h.thSepSign, &h.int0Sign, &h.frac0Sign, &h.dtSepSign}) {
            EXPECT_EQ(sign->bytes, want);
            EXPECT_EQ(Asc(*sign), c.byte); // what the writer turns back into a byte
        }
    }
}

TEST_F(PlusXHeaderTest, LongTitlesAreReadInFullAndLaterFieldsStayPut) {
    const std::string longTitle(255, 'T');
    const std::string longPrint(200, 'P');
    PlusXDoc d;
    d.titre(longTitle).printTitle(longPrint);
    // Fields overwritten by the long texts: the reader still reads them where they lie.
    d.lingua(-5).catNb(6).top(View::clip, 7).merloFont(0).res3(8).mypPatNo(9);
    d.lastBackup("", 10, 1);
    const VLQmkaProVersion& h = read(d);
    EXPECT_EQ(h.titre.bytes.size(), 255u);
    EXPECT_EQ(h.titre.bytes.substr(0, 41), std::string(41, 'T'));
    EXPECT_EQ(h.titre.bytes.substr(41, 2), std::string("\xFF\xFB", 2)); // lingua's bytes
    EXPECT_EQ(h.printTitle.bytes.size(), 200u);
    EXPECT_EQ(h.lingua, -5);
    EXPECT_EQ(h.catNb, 6);
    EXPECT_EQ(h.clip_top, 7);
    EXPECT_FALSE(h.merloFont);
    EXPECT_EQ(h.res3, 8);
    EXPECT_EQ(h.mypPatNo, 9);
    EXPECT_EQ(h.nbModifications, 10);
}

TEST_F(PlusXHeaderTest, SkippedBytesChangeNothing) {
    PlusXDoc plain;
    plain.titre("A").printTitle("B").lastBackup("991231", 3, 1).size(View::plan, 14);
    PlusXDoc noisy = plain;
    for (size_t off : {12, 14, 16, 18, 20, 22, 23, 69, 77})
        noisy.u8(off, 0xFF);
    for (size_t off = 274; off < 340; ++off)
        noisy.u8(off, 0xA5);
    const std::string expected = dumpHeader(read(plain));
    EXPECT_EQ(dumpHeader(read(noisy)), expected);
}

TEST_F(PlusXHeaderTest, PropertiesItDoesNotReadKeepTheirValues) {
    open(PlusXDoc().resize(512).raw(2, std::string(510, '\x7F')).bytes());
    VLQmkaProVersion& h = *s.qmkaVrs;
    h.version = 6201;
    h.actColor = 0xABCDEF;
    h.clip_actLine = 4;
    h.maxCptCount = 77;
    h.printFont = "Geneva";
    const VLQmkaProVersion before = h;
    QMXreadQmkaVrs(s, post);
    EXPECT_EQ(h.version, before.version);
    EXPECT_EQ(h.actColor, before.actColor);
    EXPECT_EQ(h.clip_actLine, before.clip_actLine);
    EXPECT_EQ(h.jrnl_libelSize, before.jrnl_libelSize);
    EXPECT_EQ(h.jrnl_refSize, before.jrnl_refSize);
    EXPECT_EQ(h.accountsAlpha, before.accountsAlpha);
    EXPECT_EQ(h.accountsAlphaNb, before.accountsAlphaNb);
    EXPECT_EQ(h.plan_nameSize, before.plan_nameSize);
    EXPECT_EQ(h.showBCLT, before.showBCLT);
    EXPECT_EQ(h.maxCptCount, before.maxCptCount);
    EXPECT_EQ(h.docColor, before.docColor);
    EXPECT_EQ(h.printFont, before.printFont);
}

// A header cut anywhere fails where it stopped: the document's length and the end
// of the field that runs past it, wherever the texts' lengths put that field.
// The first 364 bytes are the whole header and read like the full document.
TEST_F(PlusXHeaderTest, AHeaderCutShortFailsAtTheFieldWhereItStopped) {
    PlusXDoc d;
    d.serialNb(99).maxEcrCount(4).titre("Titre").wOrdre({2, 3}).printTitle("Impr");
    d.size(View::search, 20).top(View::curr, 9).lastBackup("991231", 5, 1);
    const struct {
        size_t length;
        int64_t needed;
    } cases[] = {{0, 6},     {1, 6},     {2, 6},     {5, 6},     {9, 10},    {13, 14},   {24, 25},
                 {27, 30},   {66, 68},   {81, 82},   {150, 152}, {161, 165}, {236, 237}, {265, 266},
                 {273, 274}, {340, 342}, {354, 355}, {356, 361}, {361, 363}, {363, 364}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        try {
            read(PlusXDoc(d).resize(c.length));
            ADD_FAILURE() << "read in full";
        } catch (const TruncatedDocument& e) {
            EXPECT_EQ(e.length(), static_cast<int64_t>(c.length));
            EXPECT_EQ(e.needed(), c.needed);
        }
    }
    const std::string full = dumpHeader(read(d));
    EXPECT_EQ(dumpHeader(read(PlusXDoc(d).resize(364))), full);
}

} // namespace
} // namespace qmk::test
