#include "ReaderFixture.h"

#include "model/Globals.h"
#include "reader/Reader.h"

#include <gtest/gtest.h>

namespace qmk::test {
namespace {

// A header in which every property holds something other than its default, so
// that a property the reset forgets, or one it should leave alone but touches,
// shows.
VLQmkaProVersion scribbled() {
    VLQmkaProVersion h;
    h.version = 1;
    h.serialNb = h.maxCptCount = h.maxEcrCount = h.digCount = 7;
    h.coded = true;
    h.untilLine = false;
    h.decPtSign = h.thSepSign = h.int0Sign = h.frac0Sign = h.dtSepSign = "x";
    h.titre = h.printTitle = h.docColor = "x";
    h.printFont = "Monaco";
    h.merloFont = false;
    h.jrnl_libelSize = h.jrnl_refSize = h.plan_nameSize = h.bouclDef = h.catNb = h.res3 = 7;
    h.accountsAlpha = h.docOpenFlag = h.showBCLT = h.res2 = true;
    h.accountsAlphaNb = 7;
    h.notSharedDoc = false;
    h.wOrdre = {1, 2};
    h.change = h.changePropose = h.TVA = true;
    h.ignoreChange = h.ignoreTVA = false;
    h.TVAControl = 7;
    h.plan_top = h.jrnl_top = h.bal_top = h.currencies_top = 7;
    h.extr1_top = h.extr2_top = 7;
    h.extr1_left = h.extr2_left = h.extr1_actCpte = h.extr2_actCpte = 7;
    h.plan_zoomed = h.jrnl_res = h.extr2_zoomed = true;
    h.curr_Size = h.plan_1stline = h.bal_actLine = 7;
    h.actColor = 0x123456;
    h.clip_top = h.clip_left = h.clip_height = h.clip_actLine = 9;
    h.clip_zoomed = h.clip_res = true;
    h.search_top = h.search_left = h.search_height = 9;
    h.search_size = 9;
    h.lastBackup = "991231";
    h.nbModifications = h.lingua = h.mypPatNo = 9;
    return h;
}

TEST_F(ReaderTest, ResetGivesTheWorkingDefaultsAndLeavesTheSixteenOthers) {
    s.qmkaVrs = std::make_unique<VLQmkaProVersion>(scribbled());
    ResetQmkaVersion(s);
    const VLQmkaProVersion& h = *s.qmkaVrs;

    EXPECT_EQ(h.version, 6200);
    EXPECT_EQ(h.serialNb, 12000);
    EXPECT_FALSE(h.coded);
    EXPECT_TRUE(h.untilLine);
    EXPECT_EQ(h.maxCptCount, 1001);
    EXPECT_EQ(h.maxEcrCount, 8000);
    EXPECT_EQ(h.digCount, 2);
    EXPECT_EQ(h.decPtSign.bytes, ".");
    EXPECT_EQ(h.thSepSign.bytes, "'");
    EXPECT_EQ(h.int0Sign.bytes, "-");
    EXPECT_EQ(h.frac0Sign.bytes, "-");
    EXPECT_EQ(h.dtSepSign.bytes, ".");
    EXPECT_EQ(h.titre.bytes, "Sans titre");
    EXPECT_EQ(h.titre.encoding, TextEncoding::MacRoman);
    EXPECT_EQ(h.printTitle.bytes, "Impression sans titre");
    EXPECT_EQ(h.printTitle.encoding, TextEncoding::MacRoman);
    EXPECT_EQ(h.docColor.bytes, "&h00DDDDEE");
    EXPECT_TRUE(h.merloFont);
    EXPECT_EQ(h.jrnl_libelSize, 45);
    EXPECT_EQ(h.jrnl_refSize, 4);
    EXPECT_FALSE(h.accountsAlpha);
    EXPECT_EQ(h.accountsAlphaNb, 4);
    EXPECT_EQ(h.plan_nameSize, 25);
    EXPECT_FALSE(h.docOpenFlag);
    EXPECT_EQ(h.bouclDef, 0);
    EXPECT_EQ(h.catNb, 0);
    EXPECT_FALSE(h.showBCLT);
    EXPECT_TRUE(h.notSharedDoc);
    EXPECT_FALSE(h.res2);
    EXPECT_EQ(h.res3, 0);
    EXPECT_TRUE(h.wOrdre.empty());
    EXPECT_FALSE(h.change);
    EXPECT_FALSE(h.changePropose);
    EXPECT_TRUE(h.ignoreChange);
    EXPECT_TRUE(h.ignoreTVA);
    EXPECT_FALSE(h.TVA);
    EXPECT_EQ(h.TVAControl, 0);

    struct Geometry {
        const char* view;
        int64_t top, left, height, size, firstLine, actLine;
        bool zoomed, res;
    };
    const Geometry expected[] = {
        {"plan", 43, 620, 450, 13, 0, 0, false, false},
        {"jrnl", 43, 0, 480, 13, 0, 0, false, false},
        {"bal", 515, 620, 250, 13, 0, 0, false, false},
        {"currencies", 470, 700, 300, 13, 0, 0, false, false},
        {"extr1", 545, 0, 200, 13, 0, 0, false, false},
        {"extr2", 565, 10, 200, 13, 0, 0, false, false},
    };
    const Geometry got[] = {
        {"plan", h.plan_top, h.plan_left, h.plan_height, h.plan_size, h.plan_1stline,
         h.plan_actLine, h.plan_zoomed, h.plan_res},
        {"jrnl", h.jrnl_top, h.jrnl_left, h.jrnl_height, h.jrnl_size, h.jrnl_1stline,
         h.jrnl_actLine, h.jrnl_zoomed, h.jrnl_res},
        {"bal", h.bal_top, h.bal_left, h.bal_height, h.bal_size, h.bal_1stline, h.bal_actLine,
         h.bal_zoomed, h.bal_res},
        {"currencies", h.currencies_top, h.currencies_left, h.currencies_height, h.curr_Size,
         h.currencies_1stline, h.currencies_actLine, h.currencies_zoomed, h.currencies_res},
        {"extr1", h.extr1_top, h.extr1_left, h.extr1_height, h.extr1_size, h.extr1_1stline,
         h.extr1_actLine, h.extr1_zoomed, h.extr1_res},
        {"extr2", h.extr2_top, h.extr2_left, h.extr2_height, h.extr2_size, h.extr2_1stline,
         h.extr2_actLine, h.extr2_zoomed, h.extr2_res},
    };
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(expected[i].view);
        EXPECT_EQ(got[i].top, expected[i].top);
        EXPECT_EQ(got[i].left, expected[i].left);
        EXPECT_EQ(got[i].height, expected[i].height);
        EXPECT_EQ(got[i].size, expected[i].size);
        EXPECT_EQ(got[i].firstLine, expected[i].firstLine);
        EXPECT_EQ(got[i].actLine, expected[i].actLine);
        EXPECT_EQ(got[i].zoomed, expected[i].zoomed);
        EXPECT_EQ(got[i].res, expected[i].res);
    }
    EXPECT_EQ(h.extr1_actCpte, 0);
    EXPECT_EQ(h.extr2_actCpte, 0);

    // Left as they were.
    EXPECT_EQ(h.actColor, 0x123456u);
    EXPECT_EQ(h.clip_top, 9);
    EXPECT_EQ(h.clip_left, 9);
    EXPECT_EQ(h.clip_height, 9);
    EXPECT_EQ(h.clip_actLine, 9);
    EXPECT_TRUE(h.clip_zoomed);
    EXPECT_TRUE(h.clip_res);
    EXPECT_EQ(h.search_top, 9);
    EXPECT_EQ(h.search_left, 9);
    EXPECT_EQ(h.search_height, 9);
    EXPECT_EQ(h.search_size, 9);
    EXPECT_EQ(h.lastBackup.bytes, "991231");
    EXPECT_EQ(h.nbModifications, 9);
    EXPECT_EQ(h.lingua, 9);
    EXPECT_EQ(h.mypPatNo, 9);
    EXPECT_EQ(h.printFont.bytes, "Monaco");
}

TEST_F(ReaderTest, ResetReadsNothing) {
    open(std::string(600, '\xFF'));
    s.fileBS->SetPosition(17);
    ResetQmkaVersion(s);
    EXPECT_EQ(s.fileBS->Position(), 17);
}

TEST_F(ReaderTest, ResetWithoutAHeaderRecordIsAClearError) {
    s.qmkaVrs.reset();
    EXPECT_THROW(ResetQmkaVersion(s), ConversionError);
}

} // namespace
} // namespace qmk::test
