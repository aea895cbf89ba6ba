#include "support/Bytes.h"
#include "support/FaultyFileSystem.h"
#include "writer/Writer.h"
#include "writer/WriterSupport.h"

#include <gtest/gtest.h>

namespace qmk {
namespace {

using test::beAt;

using namespace test::pro;

class RegionWritersTest : public test::DocFolderTest {
  protected:
    std::unique_ptr<ConversionDocument> d;

    void SetUp() override {
        d = std::make_unique<ConversionDocument>(FolderItem(source("ledger.qmkx", "legacy")));
        d->fileBS = BinaryStream::Open(d->fileToConvert);
        d->qmkaVrs = std::make_unique<VLQmkaProVersion>();
        test::applyWorkingDefaults(*d->qmkaVrs);
        d->qmkaVrs->maxEcrCount = 3;
    }
    // The arrays as a Plus / X read leaves them: accounts 0..10002, entries 0..n.
    void sizeLikeAPlusXRead(int n) {
        d->accounts.assign(10003, DB_Format::CptRecord{});
        d->ecritures.assign(static_cast<size_t>(n) + 1, DB_Format::EcrRecord{});
        d->qmkaVrs->maxEcrCount = n;
    }
    std::string saveDoc() {
        save(*d, h);
        return read("ledger.qmkp");
    }
};

TEST_F(RegionWritersTest, CurrencyHighBytesAreClearedWhenTheValueFitsBelow2To32) {
    struct Case {
        int64_t wide1, wide2;
        uint64_t bytes6, bytes14;
    };
    const Case cases[] = {
        {-1, 0, 0x00000000FFFFFFFFULL, 0},
        {-4294967297LL, 0, 0x00000000FFFFFFFFULL, 0},
        {4294967296LL, 0, 0x0000000100000000ULL, 0},
        {0, -2, 0, 0x00000000FFFFFFFEULL},
        {4294967296LL, -2, 0x0000000100000000ULL, 0x00000000FFFFFFFEULL},
        {-1, 0x123456789ALL, 0x00000000FFFFFFFFULL, 0x000000123456789AULL},
    };
    for (int i = 0; i < 6; ++i) {
        d->currencies[i + 1].wide1 = cases[i].wide1;
        d->currencies[i + 1].wide2 = cases[i].wide2;
        d->currencies[i + 1].long1 = 0x01020304u;
    }
    const std::string doc = saveDoc();
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE("currency " + std::to_string(i + 1));
        EXPECT_EQ(beAt(doc, currencyAt(i + 1), 4), 0x01020304u);
        EXPECT_EQ(beAt(doc, currencyAt(i + 1) + 6, 8), cases[i].bytes6);
        EXPECT_EQ(beAt(doc, currencyAt(i + 1) + 14, 8), cases[i].bytes14);
        EXPECT_EQ(d->currencies[i + 1].wide1, cases[i].wide1) << "the array is left as it is";
    }
}

TEST_F(RegionWritersTest, CurrencyZeroIsNeverWrittenAndTheLastSlotStaysZero) {
    d->currencies[0].long1 = 0xAAAAAAAAu;
    d->currencies[1].long1 = 0x11111111u;
    d->currencies[31].long1 = 0x31313131u;
    d->currencies[31].flag2 = true;
    const std::string doc = saveDoc();
    EXPECT_EQ(beAt(doc, kCurrencies, 4), 0x11111111u);
    EXPECT_EQ(beAt(doc, currencyAt(31), 4), 0x31313131u);
    EXPECT_EQ(beAt(doc, currencyAt(31) + 23, 1), 1u);
    EXPECT_EQ(doc.substr(currencyAt(32), 24), std::string(24, '\0'));
}

TEST_F(RegionWritersTest, AccountsAlwaysKeepOnlyTheLow32BitsOfWide1) {
    sizeLikeAPlusXRead(0);
    d->accounts[1].wide1 = -1;
    d->accounts[2].wide1 = (1LL << 32) + 5;
    d->accounts[1001].wide1 = 0x7FFFFFFF00000001LL;
    const std::string doc = saveDoc();
    EXPECT_EQ(beAt(doc, accountAt(1) + 68, 8), 0x00000000FFFFFFFFULL);
    EXPECT_EQ(beAt(doc, accountAt(2) + 68, 8), 5u);
    EXPECT_EQ(beAt(doc, accountAt(1001) + 68, 8), 1u);
}

TEST_F(RegionWritersTest, JournalByteDependsOnWide1AndLong2IsClearedInTheArray) {
    struct Case {
        int64_t wide1;
        uint8_t byte1, want100;
    };
    // 2^32 - 1 is the largest value that still fits below 2^32.
    const Case cases[] = {{5, 7, 0}, {4294967296LL, 7, 7}, {-1, 7, 0}, {4294967295LL, 7, 0}};
    const int n = static_cast<int>(std::size(cases));
    sizeLikeAPlusXRead(n);
    for (int i = 0; i < n; ++i) {
        auto& e = d->ecritures[i + 1];
        e.wide1 = cases[i].wide1;
        e.byte1 = cases[i].byte1;
        e.long2 = 0x55667788;
        e.flag1 = true;
    }
    const std::string doc = saveDoc();
    for (int i = 0; i < n; ++i) {
        SCOPED_TRACE("entry " + std::to_string(i + 1));
        EXPECT_EQ(beAt(doc, entryAt(i + 1) + 92, 8), static_cast<uint64_t>(cases[i].wide1));
        EXPECT_EQ(beAt(doc, entryAt(i + 1) + 100, 1), cases[i].want100);
        EXPECT_EQ(beAt(doc, entryAt(i + 1) + 101, 1), 1u);
        EXPECT_EQ(beAt(doc, entryAt(i + 1) + 104, 4), 0u);
        EXPECT_EQ(d->ecritures[i + 1].long2, 0);
        EXPECT_EQ(d->ecritures[i + 1].byte1, cases[i].byte1) << "only long2 changes in the array";
    }
    EXPECT_EQ(doc.substr(entryAt(3) + 92, 8), std::string(8, '\xFF'));
}

TEST_F(RegionWritersTest, RegionsStartAtTheirOffsetsAndTextsAreWrittenAsHeld) {
    sizeLikeAPlusXRead(2);
    d->acces[0].short1 = 0x0A0B;
    d->acces[5].bytes2[37] = 'z';
    d->cptInfo.long1 = 0x01010101;
    d->cptInfo.long4 = 0x04040404;
    d->accounts[0].recNo = 0x0C0C0C0C;
    d->accounts[7].name = std::string("\x06"
                                      "Banque",
                                      7);
    d->ecrInfo.long1 = 0x0E0E0E0E;
    d->ecrInfo.long4 = 0x11111111;
    d->ecritures[1].recNo = 0x12121212;
    d->ecritures[2].label = std::string("\x09Ouverture", 10);
    d->ecritures[2].ref = std::string("\x02"
                                      "F1",
                                      3);
    const std::string doc = saveDoc();

    EXPECT_EQ(beAt(doc, kAccess + 2, 2), 0x0A0Bu);
    EXPECT_EQ(doc[accessAt(5) + 4 + 37], 'z');
    EXPECT_EQ(beAt(doc, kAccountInfo, 4), 0x01010101u);
    EXPECT_EQ(beAt(doc, kAccountInfo + 12, 4), 0x04040404u);
    EXPECT_EQ(beAt(doc, kAccounts, 4), 0x0C0C0C0Cu);
    EXPECT_EQ(doc.substr(accountAt(7) + 24, 32), std::string("\x06"
                                                             "Banque",
                                                             7) +
                                                     std::string(25, '\0'));
    EXPECT_EQ(beAt(doc, kJournalInfo, 4), 0x0E0E0E0Eu);
    EXPECT_EQ(beAt(doc, kJournalInfo + 12, 4), 0x11111111u);
    EXPECT_EQ(beAt(doc, kJournal, 4), 0x12121212u);
    EXPECT_EQ(doc.substr(entryAt(2) + 16, 10), std::string("\x09Ouverture", 10));
    EXPECT_EQ(doc.substr(entryAt(2) + 80, 8), std::string("\x02"
                                                          "F1",
                                                          3) +
                                                  std::string(5, '\0'));
    EXPECT_EQ(doc.size(), documentSize(2));
}

TEST_F(RegionWritersTest, DocumentLengthFollowsTheJournalCount) {
    for (int n : {0, 1, 40}) {
        SCOPED_TRACE("maxEcrCount " + std::to_string(n));
        sizeLikeAPlusXRead(n);
        d->fileBS = BinaryStream::Open(d->fileToConvert);
        save(*d, h);
        const auto path = h.newFile()->path();
        EXPECT_EQ(std::filesystem::file_size(path), documentSize(static_cast<size_t>(n)));
        std::filesystem::remove(path);
    }
}

// A road that filled nothing: the regions hold blank structures, never the
// bytes of an earlier file.
TEST_F(RegionWritersTest, EmptyArraysAreWrittenAsBlankStructures) {
    d->qmkaVrs->maxEcrCount = 3;
    ASSERT_TRUE(d->accounts.empty());
    ASSERT_TRUE(d->ecritures.empty());
    const std::string doc = saveDoc();

    EXPECT_EQ(doc.size(), documentSize(3));
    EXPECT_EQ(doc.substr(kCurrencies, kAccounts - kCurrencies),
              std::string(kAccounts - kCurrencies, '\0'))
        << "currencies, access rights and account information are zero";
    EXPECT_EQ(doc.substr(kAccounts, 128), std::string(128, '\0')) << "account slot 0";

    const std::string freeName = "\x1E" + std::string(30, ' ');
    for (int k : {1, 500, 1001}) {
        SCOPED_TRACE("account slot " + std::to_string(k));
        const size_t o = accountAt(k);
        EXPECT_EQ(beAt(doc, o, 4), static_cast<uint64_t>(k));
        EXPECT_EQ(beAt(doc, o + 4, 4), static_cast<uint64_t>(k - 1));
        EXPECT_EQ(beAt(doc, o + 8, 4), static_cast<uint64_t>(k + 1));
        EXPECT_EQ(doc.substr(o + 24, 32), freeName + '\0');
        EXPECT_EQ(doc.substr(o + 58, 4), "    ");
        EXPECT_EQ(beAt(doc, o + 68, 8), 0xFFFFFFFFu) << "wide1 -1 after the patch";
    }

    EXPECT_EQ(doc.substr(kJournalInfo, 16), std::string(16, '\0'));
    const std::string label = "\x3F" + std::string(63, ' ');
    const std::string ref = "\x06" + std::string(7, ' ');
    for (int i = 1; i <= 3; ++i) {
        SCOPED_TRACE("entry " + std::to_string(i));
        const size_t o = entryAt(i);
        EXPECT_EQ(beAt(doc, o, 4), static_cast<uint64_t>(i));
        EXPECT_EQ(beAt(doc, o + 4, 4), static_cast<uint64_t>(i - 1));
        EXPECT_EQ(beAt(doc, o + 8, 4), i == 3 ? 0u : static_cast<uint64_t>(i + 1));
        EXPECT_EQ(doc.substr(o + 16, 64), label);
        EXPECT_EQ(doc.substr(o + 80, 8), ref);
        EXPECT_EQ(doc.substr(o + 88, 40), std::string(40, '\0'));
    }
}

TEST_F(RegionWritersTest, EachRecordIsWrittenAndFlushedOnItsOwn) {
    sizeLikeAPlusXRead(4);
    int flushes = 0;
    test::FaultyFileSystem counting(RealFileSystem(), [&](test::FsOp op, const std::string&) {
        if (op == test::FsOp::Write)
            ++flushes;
        return 0;
    });
    d->fileBS = test::newFileStream(dir.path() / "regions", counting);
    saveCurrencies(*d);
    saveAccess(*d);
    saveAccounts(*d);
    saveEcr(*d);
    // The stream's file lives on `counting`: it is closed before that goes.
    d->fileBS.reset();
    EXPECT_EQ(flushes, 31 + 6 + 1 + 1002 + 1 + 4);
    EXPECT_EQ(pacer.yields.load(), 31 + 6 + 1002 + 4);
}

} // namespace
} // namespace qmk
