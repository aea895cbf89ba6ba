#include "support/Bytes.h"
#include "support/FaultyFileSystem.h"
#include "writer/Writer.h"
#include "writer/WriterSupport.h"

#include <gtest/gtest.h>

namespace qmk {
namespace {

using test::beAt;
using test::expectedDefaultHeader;

class HeaderWriterTest : public test::DocFolderTest {
  protected:
    VLQmkaProVersion h;
    ConversionDocument s;
    void SetUp() override { test::applyWorkingDefaults(h); }

    // The header as written from `h`, padded to its 512 bytes (the file is
    // created empty, so what no write reaches is zero).
    std::string header() {
        s.qmkaVrs = std::make_unique<VLQmkaProVersion>(h);
        FolderItem f(dir.path() / "h.qmkp");
        std::filesystem::remove(f.path());
        auto out = test::newFileStream(f.path());
        saveQmkaVrs(s, *out);
        out->Close();
        std::string bytes = test::TempDir::read(f.path());
        EXPECT_LE(bytes.size(), 512u) << "the header ran past its block";
        bytes.resize(512, '\0');
        return bytes;
    }
};

TEST_F(HeaderWriterTest, WorkingDefaultsGiveTheDefaultListingByteForByte) {
    const std::string got = header();
    const std::string want = expectedDefaultHeader();
    for (size_t i = 0; i < 512; ++i)
        ASSERT_EQ(static_cast<uint8_t>(got[i]), static_cast<uint8_t>(want[i])) << "byte " << i;
}

TEST_F(HeaderWriterTest, OrderListIsWrittenAsTenEntries) {
    h.wOrdre = {5, 7, 9};
    std::string got = header();
    EXPECT_EQ(got.substr(254, 20), std::string("\0\x05\0\x07\0\x09", 6) + std::string(14, '\0'));

    h.wOrdre = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    got = header();
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(beAt(got, 254 + 2 * i, 2), static_cast<uint64_t>(i + 1));
    EXPECT_EQ(beAt(got, 274, 2), 0u) << "entries past the tenth are not written";
}

TEST_F(HeaderWriterTest, NarrowFieldsKeepTheLowBits) {
    h.plan_top = 70000;           // Int16: 0x1170
    h.bal_left = -1;              // Int16: FF FF
    h.extr1_1stline = 65535;      // zero-extended into 32 bits
    h.TVAControl = 40000;         // its 16 bits
    h.serialNb = (1LL << 32) + 5; // Int32
    h.maxCptCount = 65536 + 2;    // UInt16
    h.jrnl_refSize = 256 + 7;     // UInt8
    h.jrnl_actLine = -2;          // UInt32
    h.decPtSign = String(",", TextEncoding::MacRoman);
    const std::string got = header();
    struct Case {
        size_t off;
        int width;
        uint64_t want;
    };
    for (const Case& c :
         {Case{128, 2, 0x1170}, Case{166, 2, 0xFFFF}, Case{190, 4, 0x0000FFFF}, Case{84, 2, 0x9C40},
          Case{2, 4, 5}, Case{8, 2, 2}, Case{70, 1, 7}, Case{158, 4, 0xFFFFFFFE}, Case{16, 1, ','}})
        EXPECT_EQ(beAt(got, c.off, c.width), c.want) << "at " << c.off;
}

TEST_F(HeaderWriterTest, PropertiesThatAreNotWrittenChangeNothing) {
    h.version = 6201;
    h.catNb = 77;
    h.actColor = 0xABCDEF;
    h.lingua = 3;
    h.mypPatNo = 9;
    h.printFont = String("Geneva", TextEncoding::MacRoman);
    h.res2 = true;
    h.res3 = 5;
    h.clip_top = h.clip_left = h.clip_height = h.clip_actLine = 99;
    h.plan_zoomed = h.plan_res = h.jrnl_zoomed = h.jrnl_res = h.bal_zoomed = h.bal_res = true;
    h.currencies_zoomed = h.currencies_res = h.extr1_zoomed = h.extr1_res = true;
    h.extr2_zoomed = h.extr2_res = h.clip_zoomed = h.clip_res = true;
    EXPECT_EQ(header(), expectedDefaultHeader());
}

TEST_F(HeaderWriterTest, LongTextsAreCutToTheirRoom) {
    h.titre = String(std::string(60, 'T'), TextEncoding::MacRoman);
    h.docColor = String(std::string(50, 'C'), TextEncoding::MacRoman);
    h.printTitle = String(std::string(100, 'P'), TextEncoding::MacRoman);
    h.lastBackup = String("9912310", TextEncoding::MacRoman);
    h.nbModifications = 0x0102;
    const std::string got = header();

    EXPECT_EQ(beAt(got, 26, 1), 41u);
    EXPECT_EQ(got.substr(27, 41), std::string(41, 'T'));
    EXPECT_EQ(beAt(got, 68, 2), 45u) << "jrnl_libelSize must follow the title untouched";
    EXPECT_EQ(got.substr(88, 40), std::string(40, 'C'));
    EXPECT_EQ(beAt(got, 128, 2), 43u) << "plan_top must follow the colour untouched";
    EXPECT_EQ(beAt(got, 380, 1), 75u);
    EXPECT_EQ(got.substr(381, 75), std::string(75, 'P'));
    EXPECT_EQ(beAt(got, 456, 1), 1u) << "merloFont must follow the print title untouched";
    EXPECT_EQ(got.substr(460, 7), std::string("\x06") + "991231");
    EXPECT_EQ(beAt(got, 467, 2), 0x0102u);
}

TEST_F(HeaderWriterTest, ShortTextsLeaveTheRestOfTheirRoomZero) {
    h.titre = String("ab", TextEncoding::MacRoman);
    h.docColor = String("", TextEncoding::MacRoman);
    h.printTitle = String("", TextEncoding::MacRoman);
    const std::string got = header();
    EXPECT_EQ(got.substr(26, 42), std::string("\x02"
                                              "ab") +
                                      std::string(39, '\0'));
    EXPECT_EQ(got.substr(88, 40), std::string(40, '\0'));
    EXPECT_EQ(got.substr(380, 76), std::string(76, '\0'));
}

TEST_F(HeaderWriterTest, MissingHeaderRecordIsAnError) {
    FolderItem f(dir.path() / "h.qmkp");
    auto out = test::newFileStream(f.path());
    s.qmkaVrs.reset();
    EXPECT_THROW(saveQmkaVrs(s, *out), ConversionError);
}

} // namespace
} // namespace qmk
