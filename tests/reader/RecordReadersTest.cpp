#include "ReaderFixture.h"

#include "model/Globals.h"
#include "reader/Reader.h"
#include "support/LegacyDoc.h"

#include <gtest/gtest.h>

namespace qmk::test {
namespace {

class RecordReadersTest : public ReaderTest {};

std::string sview(std::string_view v) {
    return std::string(v);
}

TEST_F(RecordReadersTest, CurrenciesKeepEveryBitAndLeaveElementZero) {
    PlusXDoc d;
    d.currency(1, {0x80000001u, -2, INT64_MIN, -1, 2, 0});
    d.currency(17, {7, 32767, 0x0102030405060708, INT64_MAX, 0, 0x80});
    d.currency(31, {0xFFFFFFFFu, -32768, 5, 6, 1, 1});
    open(d.bytes());
    s.currencies[0].long1 = 42;
    ReadCurrencies(s, post);

    const struct {
        size_t i;
        uint32_t long1;
        int16_t short1;
        int64_t wide1, wide2;
        bool flag1, flag2;
    } expected[] = {{1, 0x80000001u, -2, INT64_MIN, -1, true, false},
                    {17, 7, 32767, 0x0102030405060708, INT64_MAX, false, true},
                    {31, 0xFFFFFFFFu, -32768, 5, 6, true, true},
                    {2, 0, 0, 0, 0, false, false}};
    for (const auto& e : expected) {
        SCOPED_TRACE(e.i);
        const DB_Format::CatRec& c = s.currencies[e.i];
        EXPECT_EQ(c.long1, e.long1);
        EXPECT_EQ(c.short1, e.short1);
        EXPECT_EQ(c.wide1, e.wide1);
        EXPECT_EQ(c.wide2, e.wide2);
        EXPECT_EQ(c.flag1, e.flag1);
        EXPECT_EQ(c.flag2, e.flag2);
        // Apart from the Booleans, stored as 0 or 1, the legacy record is the Pro
        // record's big-endian image.
        EXPECT_EQ(c.StringValue(false).substr(0, 22),
                  d.bytes().substr(PlusXDoc::currencyOffset(e.i), 22));
    }
    EXPECT_EQ(s.currencies[0].long1, 42u);
    EXPECT_EQ(post.status(), "Reprise des devises…");
    EXPECT_EQ(pacer.yields.load(), 31);
}

TEST_F(RecordReadersTest, ThreePointTwoCurrenciesComeFromTheSameBytes) {
    Doc32 d;
    d.currency(1, {1, 2, 3, 4, 1, 0}).currency(31, {9, -9, -99, 99, 0, 3});
    open(d.bytes());
    ReadCurrencies(s, post);
    for (size_t i = 1; i <= 31; ++i)
        EXPECT_EQ(s.currencies[i].StringValue(false).substr(0, 22),
                  d.bytes().substr(PlusXDoc::currencyOffset(i), 22));
    EXPECT_TRUE(s.currencies[1].flag1);
    EXPECT_FALSE(s.currencies[31].flag1);
    EXPECT_TRUE(s.currencies[31].flag2);
}

TEST_F(RecordReadersTest, AccessRightsAreTheirFortyTwoBytes) {
    PlusXDoc d;
    std::string images[6];
    for (int i = 0; i < 6; ++i) {
        for (int b = 0; b < 42; ++b)
            images[i].push_back(static_cast<char>(i * 42 + b + 0x80));
        d.access(i, images[i]);
    }
    open(d.bytes());
    QMXReadAccess(s, post);
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(s.acces[i].StringValue(false), images[i]);
        const uint16_t raw = static_cast<uint16_t>(beAt(images[i], 2, 2));
        EXPECT_EQ(s.acces[i].short1, static_cast<int16_t>(raw)); // host order
    }
    EXPECT_EQ(post.status(), "Reprise des accès…");
}

// Two account slots with every field set, plus the raw bytes that must not count.
class AccountsTest : public RecordReadersTest {
  protected:
    AccountFields full() {
        AccountFields a;
        a.recNo = 5;
        a.prevRec = -1;
        a.nextRec = 0x7FFF;
        a.short1 = -300;
        a.name = "Banque Populaire du Sud 25"; // 25 bytes after cutting below
        a.name.resize(25);
        a.flag1 = 0x40;
        a.byte1 = 0xFE;
        a.CAT = "AB\xC3\x89";
        a.short2 = 1234;
        a.short3 = -1234;
        a.flag2 = 0;
        a.flag3 = 0xFF;
        a.wide1 = -123456789012345;
        a.short4 = 77;
        a.flag4 = 1;
        a.byte2 = 0x81;
        a.unused58 = std::string(10, '\xEE');
        a.boucl = {{{1, -1}, {2, -2}, {0x7FFF, -32768}, {0, 9}}};
        for (int b = 0; b < 44; ++b)
            a.res.push_back(static_cast<char>(0xA0 + b));
        return a;
    }
};

TEST_F(AccountsTest, SlotsAreParsedFieldByField) {
    PlusXDoc d;
    d.accountInfo(-1, 2, 0x7FFF, 0x8000);
    d.account(7, full());
    open(d.bytes());
    QMXReadAccounts(s, post);

    EXPECT_EQ(s.cptInfo.long1, -1);
    EXPECT_EQ(s.cptInfo.long2, 2);
    EXPECT_EQ(s.cptInfo.long3, 32767);
    EXPECT_EQ(s.cptInfo.long4, -32768);

    const DB_Format::CptRecord& r = s.accounts[7];
    EXPECT_EQ(r.recNo, 5);
    EXPECT_EQ(r.prevRec, -1);
    EXPECT_EQ(r.nextRec, 32767);
    EXPECT_EQ(r.short1, -300);
    // 26 legacy bytes into the 32-byte slot: the bytes, then zeros.
    EXPECT_EQ(sview(r.name.view()), "\x19" + full().name + std::string(6, '\0'));
    EXPECT_TRUE(r.flag1);
    EXPECT_EQ(r.byte1, 0xFE);
    EXPECT_EQ(sview(r.CAT.view()), "AB\xC3\x89");
    EXPECT_EQ(r.short2, 1234);
    EXPECT_EQ(r.short3, -1234);
    EXPECT_FALSE(r.flag2);
    EXPECT_TRUE(r.flag3);
    EXPECT_EQ(r.wide1, -123456789012345);
    EXPECT_EQ(r.short4, 77);
    EXPECT_TRUE(r.flag4);
    EXPECT_EQ(r.byte2, 0x81);
    const int16_t boucl[4][2] = {{1, -1}, {2, -2}, {32767, -32768}, {0, 9}};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(r.boucl(k).short1, boucl[k][0]);
        EXPECT_EQ(r.boucl(k).short2, boucl[k][1]);
    }
    // 44 legacy bytes into 32: the first 32.
    EXPECT_EQ(sview(r.res.view()), full().res.substr(0, 32));
    // The unused run never reaches the record.
    EXPECT_EQ(std::string(r.spare, 10), std::string(10, '\0'));
    // Booleans are stored as 1.
    EXPECT_EQ(r.StringValue(false)[56], '\x01');
    EXPECT_EQ(post.status(), "Reprise des comptes…");
}

TEST_F(AccountsTest, SlotZeroIsNeverParsedAndTheFreeChainFollowsSlot1000) {
    PlusXDoc d;
    AccountFields zero = full();
    zero.recNo = 99;
    d.account(0, zero);
    AccountFields last{.recNo = 1000, .prevRec = 999, .nextRec = 0};
    d.account(1000, last);
    open(d.bytes());
    // Elements 0 and 10002 keep what they held.
    s.accounts.resize(10003);
    s.accounts[0].short4 = 11;
    s.accounts[10002].short4 = 12;
    QMXReadAccounts(s, post);

    ASSERT_EQ(s.accounts.size(), 10003u);
    EXPECT_EQ(s.accounts[0].recNo, 0);
    EXPECT_EQ(s.accounts[0].short4, 11);
    EXPECT_EQ(s.accounts[10002].short4, 12);
    EXPECT_EQ(s.accounts[10002].recNo, 0);
    EXPECT_EQ(s.accounts[1000].recNo, 1000);
    EXPECT_EQ(s.accounts[1000].prevRec, 999);
    EXPECT_EQ(s.accounts[1000].nextRec, 1001);
    // An empty document slot holds the document's zeros, not a free slot's values.
    EXPECT_EQ(s.accounts[500].recNo, 0);
    EXPECT_EQ(s.accounts[500].wide1, 0);

    const std::string blank = "\x1E" + std::string(30, ' ') + std::string(1, '\0');
    for (int i : {1001, 1002, 5000, 10000, 10001}) {
        SCOPED_TRACE(i);
        const DB_Format::CptRecord& r = s.accounts[i];
        EXPECT_EQ(r.recNo, i);
        EXPECT_EQ(r.prevRec, i - 1);
        EXPECT_EQ(r.nextRec, i == 10001 ? 0 : i + 1);
        EXPECT_EQ(r.short1, 0);
        EXPECT_EQ(sview(r.name.view()), blank);
        EXPECT_EQ(r.wide1, -1);
        EXPECT_EQ(sview(r.CAT.view()), "    ");
        EXPECT_EQ(sview(r.res.view()), std::string(32, '\0'));
    }
    EXPECT_EQ(pacer.yields.load(), 10001 + 1000);
}

TEST_F(AccountsTest, SlotNumbersOfFFFFBecomeMinusOne) {
    PlusXDoc d;
    d.account(1, {.recNo = -1, .prevRec = -1, .nextRec = -1});
    d.account(1000, {.recNo = -1, .prevRec = -1, .nextRec = -1});
    open(d.bytes());
    QMXReadAccounts(s, post);
    EXPECT_EQ(s.accounts[1].recNo, -1);
    EXPECT_EQ(s.accounts[1].prevRec, -1);
    EXPECT_EQ(s.accounts[1].nextRec, -1);
    EXPECT_EQ(s.accounts[1000].recNo, -1);
    EXPECT_EQ(s.accounts[1000].nextRec, 1001);
}

class JournalTest : public RecordReadersTest {
  protected:
    EntryFields entry(int16_t no) {
        EntryFields e;
        e.recNo = no;
        e.prevRec = static_cast<int16_t>(no - 1);
        e.nextRec = static_cast<int16_t>(no + 1);
        e.long1 = 0x80000000u + static_cast<uint32_t>(no);
        e.label = "Facture " + std::to_string(no);
        e.ref = "F" + std::to_string(no % 10000);
        e.unused62 = 0x5A5A;
        e.short1 = static_cast<int16_t>(-no);
        e.short2 = 300;
        e.wide1 = -1000LL * no;
        e.unused76 = -1;
        e.byte1 = 0xC8;
        e.flag1 = 0x10;
        e.flag2 = 0;
        e.flag3 = 0xFF;
        return e;
    }
};

TEST_F(JournalTest, RecordsAreParsedFieldByField) {
    PlusXDoc d;
    d.maxEcrCount(3).journalInfo(3, -1, 0, 0x8000);
    for (int16_t i = 1; i <= 3; ++i)
        d.journal(i, entry(i));
    open(d.bytes());
    QMXReadEcr(s, post, 3);

    EXPECT_EQ(s.ecrInfo.long1, 3);
    EXPECT_EQ(s.ecrInfo.long2, -1);
    EXPECT_EQ(s.ecrInfo.long4, -32768);
    ASSERT_EQ(s.ecritures.size(), 4u);
    for (int16_t i = 1; i <= 3; ++i) {
        SCOPED_TRACE(i);
        const DB_Format::EcrRecord& r = s.ecritures[i];
        const EntryFields e = entry(i);
        EXPECT_EQ(r.recNo, i);
        EXPECT_EQ(r.prevRec, i - 1);
        EXPECT_EQ(r.nextRec, i + 1); // the document's value, also for the last record
        EXPECT_EQ(r.long1, e.long1);
        std::string label = static_cast<char>(e.label.size()) + e.label;
        label.resize(64, '\0');
        EXPECT_EQ(sview(r.label.view()), label);
        std::string ref = static_cast<char>(e.ref.size()) + e.ref;
        ref.resize(8, '\0');
        EXPECT_EQ(sview(r.ref.view()), ref);
        EXPECT_EQ(r.short1, -i);
        EXPECT_EQ(r.short2, 300);
        EXPECT_EQ(r.wide1, -1000LL * i);
        EXPECT_EQ(r.byte1, 0xC8);
        EXPECT_TRUE(r.flag1);
        EXPECT_FALSE(r.flag2);
        EXPECT_TRUE(r.flag3);
        EXPECT_EQ(r.long2, 0); // the unused 16-bit values reach nothing
        EXPECT_EQ(std::string(r.spare, 20), std::string(20, '\0'));
    }
    EXPECT_EQ(post.status(), "Reprise du journal…");
    EXPECT_EQ(pacer.yields.load(), 2 * 3);
}

TEST_F(JournalTest, SlotNumbersOfFFFFBecomeMinusOne) {
    PlusXDoc d;
    d.journal(1, {.recNo = -1, .prevRec = -1, .nextRec = -1});
    open(d.bytes());
    QMXReadEcr(s, post, 1);
    EXPECT_EQ(s.ecritures[1].recNo, -1);
    EXPECT_EQ(s.ecritures[1].prevRec, -1);
    EXPECT_EQ(s.ecritures[1].nextRec, -1);
}

TEST_F(JournalTest, NoEntriesStillReadsTheListInformation) {
    PlusXDoc d;
    d.journalInfo(1, 2, 3, 4).journal(1, entry(1));
    open(d.bytes());
    QMXReadEcr(s, post, 0);
    EXPECT_EQ(s.ecritures.size(), 1u);
    EXPECT_EQ(s.ecritures[0].recNo, 0);
    EXPECT_EQ(s.ecrInfo.long4, 4);
}

TEST_F(JournalTest, LargestCountReadsEveryRecordFromItsOffset) {
    PlusXDoc d;
    d.journal(1, entry(1)).journal(16384, entry(16384)).journal(32767, entry(32767));
    ASSERT_EQ(d.size(), PlusXDoc::sizeWithEntries(32767));
    open(d.bytes());
    QMXReadEcr(s, post, 32767);
    ASSERT_EQ(s.ecritures.size(), 32768u);
    EXPECT_EQ(s.ecritures[16384].recNo, 16384);
    EXPECT_EQ(s.ecritures[32767].recNo, 32767);
    EXPECT_EQ(s.ecritures[32767].nextRec, -32768); // 32768 wraps in 16 bits
    EXPECT_EQ(s.ecritures[32767].wide1, -32767000LL);
    EXPECT_EQ(s.ecritures[2].recNo, 0);
}

// A shorter journal in the same state leaves no record of the longer one behind.
TEST_F(JournalTest, ResizesToTheNewCount) {
    PlusXDoc d;
    for (int16_t i = 1; i <= 5; ++i)
        d.journal(i, entry(i));
    open(d.bytes());
    QMXReadEcr(s, post, 5);
    QMXReadEcr(s, post, 2);
    EXPECT_EQ(s.ecritures.size(), 3u);
}

TEST_F(JournalTest, FreeRecordsOfAShortDocumentGetTheirBlankValuesThenZeros) {
    // initEcr alone: the blank values that a document read then replaces.
    s.ecritures.clear();
    initEcr(s, 2);
    ASSERT_EQ(s.ecritures.size(), 3u);
    const DB_Format::EcrRecord& r = s.ecritures[2];
    EXPECT_EQ(r.recNo, 2);
    EXPECT_EQ(r.prevRec, 1);
    EXPECT_EQ(r.nextRec, 0);
    EXPECT_EQ(s.ecritures[1].nextRec, 2);
    EXPECT_EQ(sview(r.label.view()), "\x3F" + std::string(63, ' '));
    EXPECT_EQ(sview(r.ref.view()), "\x06" + std::string(7, ' '));
}

TEST_F(JournalTest, NegativeCountIsRefusedBeforeAnythingIsSized) {
    PlusXDoc d;
    d.journalInfo(1, 1, 1, 1);
    open(d.bytes());
    s.ecritures.resize(4);
    for (int64_t n : {-1LL, -32768LL}) {
        SCOPED_TRACE(n);
        try {
            QMXReadEcr(s, post, n);
            ADD_FAILURE() << "no error";
        } catch (const ConversionError& e) {
            EXPECT_EQ(e.what(), Globals::kNegativeEcrCount() + std::to_string(n));
        }
        EXPECT_THROW(initEcr(s, n), ConversionError);
        EXPECT_EQ(s.ecritures.size(), 4u);
        EXPECT_EQ(s.ecrInfo.long1, 0);
    }
}

} // namespace
} // namespace qmk::test
