#include "ReaderFixture.h"

#include "model/Globals.h"
#include "reader/Reader.h"
#include "support/LegacyDoc.h"

#include <gtest/gtest.h>

namespace qmk::test {
namespace {

class DriversTest : public ReaderTest {
  protected:
    // A document with something in every region.
    static PlusXDoc richDoc(int entries = 3) {
        PlusXDoc d;
        d.serialNb(4711).maxEcrCount(entries).titre("Société").wOrdre({2, 1});
        d.printTitle("Journal").size(View::jrnl, 15).lastBackup("991231", 8, 1);
        d.currency(1, {1, 2, 3, 4, 1, 0}).currency(31, {5, 6, 7, 8, 0, 1});
        d.access(0, std::string(42, 'a')).access(5, std::string(42, 'f'));
        d.accountInfo(2, 1, 2, 0).account(1, {.recNo = 1, .nextRec = 2, .name = "Caisse"});
        d.account(2, {.recNo = 2, .prevRec = 1, .name = "Banque"});
        d.account(1000, {.recNo = 1000, .short1 = 3, .name = "Capital"});
        d.journalInfo(entries, 1, entries, 0);
        for (int i = 1; i <= entries; ++i)
            d.journal(i, {.recNo = static_cast<int16_t>(i),
                          .prevRec = static_cast<int16_t>(i - 1),
                          .nextRec = static_cast<int16_t>(i == entries ? 0 : i + 1),
                          .long1 = 0xFFFF0000u,
                          .label = "Écriture",
                          .ref = "R" + std::to_string(i),
                          .wide1 = -5 * i,
                          .flag2 = 1});
        return d;
    }

    std::string readPlusX(const std::string& image) {
        ConversionDocument st;
        openInto(st, image);
        ReadQuillmarkXDoc(st, post);
        return dumpState(st);
    }
};

TEST_F(DriversTest, PlusXRunsItsPhasesInOrderWithTheirPauses) {
    open(richDoc().bytes());
    SnapshotPacer shots(post);
    ScopedPacer use(shots);
    ReadQuillmarkXDoc(s, post);

    const struct {
        int ms;
        const char* status;
    } expected[] = {{250, "Reprise des entêtes…"},
                    {250, "Reprise des devises…"},
                    {250, "Reprise des accès…"},
                    {300, "Reprise des comptes…"},
                    {500, "Reprise du journal…"}};
    ASSERT_EQ(shots.shots.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(shots.shots[i].ms, expected[i].ms);
        EXPECT_EQ(shots.shots[i].status, expected[i].status);
        EXPECT_EQ(shots.shots[i].title, "Conversion depuis Quillmark Plus / Quillmark X");
    }
    // One yield per pass of every loop: wOrdre, currencies, access, free chain,
    // account parse, then initEcr and the journal parse.
    EXPECT_EQ(shots.yields, 10 + 31 + 6 + 10001 + 1000 + 3 + 3);

    EXPECT_EQ(s.qmkaVrs->serialNb, 4711);
    EXPECT_EQ(s.currencies[31].long1, 5u);
    EXPECT_EQ(s.acces[5].StringValue(false), std::string(42, 'f'));
    EXPECT_EQ(s.cptInfo.long1, 2);
    EXPECT_EQ(s.accounts.size(), 10003u);
    EXPECT_EQ(s.accounts[1000].short1, 3);
    EXPECT_EQ(s.accounts[1000].nextRec, 1001);
    ASSERT_EQ(s.ecritures.size(), 4u);
    EXPECT_EQ(s.ecritures[3].wide1, -15);
    EXPECT_EQ(s.ecrInfo.long3, 3);
}

TEST_F(DriversTest, ThreePointTwoReadsHeaderAndCurrenciesOnly) {
    Doc32 d;
    d.serialNb(32).maxEcrCount(40).printTitle("Imp").currency(2, {.long1 = 9});
    d.resize(PlusXDoc::sizeWithEntries(0)).raw(1280, std::string(128, '\x33'));
    open(d.bytes());
    SnapshotPacer shots(post);
    ScopedPacer use(shots);
    ReadQuillmark32Doc(s, post);

    ASSERT_EQ(shots.shots.size(), 2u);
    EXPECT_EQ(shots.shots[0].ms, 500);
    EXPECT_EQ(shots.shots[0].status, "Reprise des entêtes…");
    EXPECT_EQ(shots.shots[1].ms, 250);
    EXPECT_EQ(shots.shots[1].status, "Reprise des devises…");
    EXPECT_EQ(shots.shots[1].title, "Conversion depuis Quillmark 3.2");
    EXPECT_EQ(s.qmkaVrs->maxEcrCount, 40);
    EXPECT_EQ(s.qmkaVrs->printTitle.bytes, "Imp");
    EXPECT_EQ(s.currencies[2].long1, 9u);
    // Nothing else is sized or read.
    EXPECT_TRUE(s.accounts.empty());
    EXPECT_TRUE(s.ecritures.empty());
    EXPECT_EQ(s.acces[0].StringValue(false), std::string(42, '\0'));
    EXPECT_EQ(s.cptInfo.long1, 0);
}

TEST_F(DriversTest, VersionStoredFollowsTheVersionWord) {
    const struct {
        int word;
        bool plusX;
        int16_t expected;
    } cases[] = {{4000, true, 6200},  {4001, true, 6201},  {4005, true, 6200}, {3200, false, 6200},
                 {3201, false, 6201}, {3205, false, 6200}, {0, true, 6200}}; // a file known by its
                                                                             // creator code only
    for (const auto& c : cases) {
        SCOPED_TRACE(c.word);
        ConversionDocument st;
        if (c.plusX) {
            openInto(st, PlusXDoc().version(c.word).bytes());
            ReadQuillmarkXDoc(st, post);
        } else {
            openInto(st, Doc32().version(c.word).bytes());
            ReadQuillmark32Doc(st, post);
        }
        EXPECT_EQ(st.qmkaVrs->version, c.expected);
    }
}

// A header count of 32768 or more is negative as read: the file is refused
// before any other phase runs, on both roads.
TEST_F(DriversTest, NegativeJournalCountIsRefusedRightAfterTheHeader) {
    const struct {
        bool plusX;
        int raw;
    } cases[] = {{true, 0x8000}, {true, 0xFFFF}, {false, 0x8000}, {false, 0xFFFF}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.plusX) + " " + std::to_string(c.raw));
        ConversionDocument st;
        const int16_t value = static_cast<int16_t>(c.raw);
        std::string image = c.plusX ? richDoc().maxEcrCount(c.raw).bytes()
                                    : Doc32().maxEcrCount(c.raw).currency(1, {.long1 = 3}).bytes();
        openInto(st, image);
        InstantPacer local;
        ScopedPacer use(local);
        try {
            c.plusX ? ReadQuillmarkXDoc(st, post) : ReadQuillmark32Doc(st, post);
            ADD_FAILURE() << "no error";
        } catch (const ConversionError& e) {
            EXPECT_EQ(e.what(), Globals::kNegativeEcrCount() + std::to_string(value));
            EXPECT_NE(std::string(e.what()).find("négatif"), std::string::npos);
        }
        EXPECT_TRUE(local.pauses().empty());
        EXPECT_EQ(post.status(), "Reprise des entêtes…");
        EXPECT_EQ(st.currencies[1].long1, 0u);
        EXPECT_TRUE(st.accounts.empty());
        EXPECT_TRUE(st.ecritures.empty());
        EXPECT_EQ(st.acces[0].StringValue(false), std::string(42, '\0'));
    }
}

TEST_F(DriversTest, SecondDocumentInTheSameStateReadsAsInAFreshOne) {
    PlusXDoc first = richDoc(5);
    first.titre("Premier").account(700, {.recNo = 700, .name = "Ancien"});
    const PlusXDoc second = richDoc(2);

    open(first.bytes());
    ReadQuillmarkXDoc(s, post);
    open(second.bytes()); // same state, new source and header record
    ReadQuillmarkXDoc(s, post);
    EXPECT_EQ(dumpState(s), readPlusX(second.bytes()));
    EXPECT_EQ(s.accounts[700].recNo, 0);
    EXPECT_EQ(s.ecritures.size(), 3u);
}

TEST_F(DriversTest, MissingSourceOrHeaderIsAClearError) {
    open(richDoc().bytes());
    s.fileBS.reset();
    EXPECT_THROW(ReadQuillmarkXDoc(s, post), ConversionError);
    open(richDoc().bytes());
    s.qmkaVrs.reset();
    EXPECT_THROW(ReadQuillmark32Doc(s, post), ConversionError);
}

} // namespace
} // namespace qmk::test
