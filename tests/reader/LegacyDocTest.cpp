// The fixture builder is the yardstick of the reader and writer tests, so its own
// placement of a few fields is pinned here against the legacy layout.
#include "support/LegacyDoc.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace qmk::test {
namespace {

TEST(LegacyDocTest, PlusXFieldsLandAtTheirOffsets) {
    PlusXDoc d;
    d.serialNb(-1).maxEcrCount(0x8000).titre("Ab").size(View::search, 65535);
    d.top(View::curr, 470).actCpte(View::extr2, 7).wOrdre({3, -2});
    d.lastBackup("991231", 5, 1);
    const std::string& b = d.bytes();
    EXPECT_EQ(b.size(), 129692u);
    EXPECT_EQ(beAt(b, 0, 2), 4000u);
    EXPECT_EQ(beAt(b, 2, 4), 0xFFFFFFFFu);
    EXPECT_EQ(beAt(b, 8, 2), 0x8000u);
    EXPECT_EQ(b.substr(24, 3), "\x02"
                               "Ab");
    EXPECT_EQ(beAt(b, 272, 2), 0xFFFFu);
    EXPECT_EQ(beAt(b, 340, 2), 470u);
    EXPECT_EQ(beAt(b, 252, 2), 7u);
    EXPECT_EQ(beAt(b, 140, 2), 3u);
    EXPECT_EQ(beAt(b, 142, 2), 0xFFFEu);
    EXPECT_EQ(b.substr(354, 7), "\x06"
                                "991231");
    EXPECT_EQ(beAt(b, 361, 2), 5u);
    EXPECT_EQ(beAt(b, 363, 1), 1u);
    EXPECT_THROW(d.size(View::clip, 13), std::logic_error);
}

TEST(LegacyDocTest, RecordRegionsLandAtTheirOffsets) {
    PlusXDoc d;
    d.currency(31, {.long1 = 0x01020304, .flag2 = 9});
    d.access(5, std::string(42, 'x'));
    AccountFields a{.recNo = 1000, .name = "Caisse"};
    a.boucl[3] = {-1, 2};
    a.res = std::string(44, 'r');
    d.account(1000, a);
    d.journal(2, {.recNo = 2, .ref = "R1", .flag3 = 1});
    const std::string& b = d.bytes();
    EXPECT_EQ(b.size(), PlusXDoc::sizeWithEntries(2));
    EXPECT_EQ(beAt(b, 512 + 24 * 30, 4), 0x01020304u);
    EXPECT_EQ(beAt(b, 512 + 24 * 30 + 23, 1), 9u);
    EXPECT_EQ(b.substr(1280 + 42 * 5, 42), std::string(42, 'x'));
    const size_t slot = 1548 + 128 * 1000;
    EXPECT_EQ(slot + 128, 129676u);
    EXPECT_EQ(beAt(b, slot, 2), 1000u);
    EXPECT_EQ(b.substr(slot + 8, 7), "\x06"
                                     "Caisse");
    EXPECT_EQ(beAt(b, slot + 80, 2), 0xFFFFu);
    EXPECT_EQ(beAt(b, slot + 82, 2), 2u);
    EXPECT_EQ(b.substr(slot + 84, 44), std::string(44, 'r'));
    const size_t rec = 129692 + 82;
    EXPECT_EQ(beAt(b, rec, 2), 2u);
    EXPECT_EQ(b.substr(rec + 56, 3), "\x02"
                                     "R1");
    EXPECT_EQ(beAt(b, rec + 81, 1), 1u);
}

// A journal count makes a complete document: room for every record it counts.
TEST(LegacyDocTest, AJournalCountGrowsThePlusXDocumentToItsLastRecord) {
    EXPECT_EQ(PlusXDoc().maxEcrCount(3).size(), 129692u + 3 * 82);
    EXPECT_EQ(PlusXDoc().journal(5, {}).maxEcrCount(2).size(), 129692u + 5 * 82);
    EXPECT_EQ(PlusXDoc().maxEcrCount(-3).size(), 129692u);
    EXPECT_EQ(PlusXDoc().maxEcrCount(3).truncated(1000).size(), 1000u);
}

TEST(LegacyDocTest, Doc32KeepsItsPrintTitleAt114) {
    Doc32 d;
    d.printTitle("Imp").currency(1, {.short1 = -2});
    const std::string& b = d.bytes();
    EXPECT_EQ(b.size(), 1256u);
    EXPECT_EQ(beAt(b, 0, 2), 3200u);
    EXPECT_EQ(b.substr(114, 4), "\x03"
                                "Imp");
    EXPECT_EQ(beAt(b, 516, 2), 0xFFFEu);
    EXPECT_EQ(d.truncated(100).size(), 100u);
}

} // namespace
} // namespace qmk::test
