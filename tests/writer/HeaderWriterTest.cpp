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

// Every written property of the header, with its place in the 512 bytes: its offset and how
// many bytes it takes there (big-endian, its low bytes).
struct NumberField {
    const char* name;
    size_t offset;
    int width;
    int64_t (*set)(VLQmkaProVersion&, int64_t); // stores a value, gives back what was stored
};
// clang-format off
#define QMK_NUMBER(field, offset, width)                                  \
    NumberField{#field, offset, width, [](VLQmkaProVersion& h, int64_t v) { \
        h.field = static_cast<decltype(h.field)>(v);                      \
        return static_cast<int64_t>(h.field);                             \
    }}
// clang-format on
const NumberField kNumberFields[] = {
    QMK_NUMBER(serialNb, 2, 4),
    QMK_NUMBER(maxCptCount, 8, 2),
    QMK_NUMBER(maxEcrCount, 10, 4),
    QMK_NUMBER(digCount, 14, 2),
    QMK_NUMBER(jrnl_libelSize, 68, 2),
    QMK_NUMBER(jrnl_refSize, 70, 1),
    QMK_NUMBER(accountsAlphaNb, 72, 1),
    QMK_NUMBER(plan_nameSize, 73, 1),
    QMK_NUMBER(bouclDef, 75, 2),
    QMK_NUMBER(TVAControl, 84, 2),
    QMK_NUMBER(plan_top, 128, 2),
    QMK_NUMBER(plan_left, 130, 2),
    QMK_NUMBER(plan_height, 132, 2),
    QMK_NUMBER(plan_size, 134, 2),
    QMK_NUMBER(plan_1stline, 136, 2),
    QMK_NUMBER(plan_actLine, 138, 2),
    QMK_NUMBER(jrnl_top, 146, 2),
    QMK_NUMBER(jrnl_left, 148, 2),
    QMK_NUMBER(jrnl_height, 150, 2),
    QMK_NUMBER(jrnl_size, 152, 2),
    QMK_NUMBER(jrnl_1stline, 154, 4),
    QMK_NUMBER(jrnl_actLine, 158, 4),
    QMK_NUMBER(bal_top, 164, 2),
    QMK_NUMBER(bal_left, 166, 2),
    QMK_NUMBER(bal_height, 168, 2),
    QMK_NUMBER(bal_size, 170, 2),
    QMK_NUMBER(bal_1stline, 172, 2),
    QMK_NUMBER(bal_actLine, 174, 2),
    QMK_NUMBER(extr1_top, 182, 2),
    QMK_NUMBER(extr1_left, 184, 2),
    QMK_NUMBER(extr1_height, 186, 2),
    QMK_NUMBER(extr1_size, 188, 2),
    QMK_NUMBER(extr1_1stline, 190, 4),
    QMK_NUMBER(extr1_actLine, 194, 4),
    QMK_NUMBER(extr1_actCpte, 198, 2),
    QMK_NUMBER(extr2_top, 200, 2),
    QMK_NUMBER(extr2_left, 202, 2),
    QMK_NUMBER(extr2_height, 204, 2),
    QMK_NUMBER(extr2_size, 206, 2),
    QMK_NUMBER(extr2_1stline, 208, 4),
    QMK_NUMBER(extr2_actLine, 212, 4),
    QMK_NUMBER(extr2_actCpte, 216, 2),
    QMK_NUMBER(search_top, 218, 2),
    QMK_NUMBER(search_left, 220, 2),
    QMK_NUMBER(search_height, 222, 2),
    QMK_NUMBER(search_size, 224, 2),
    QMK_NUMBER(currencies_top, 236, 2),
    QMK_NUMBER(currencies_left, 238, 2),
    QMK_NUMBER(currencies_height, 240, 2),
    QMK_NUMBER(curr_Size, 242, 2),
    QMK_NUMBER(currencies_1stline, 244, 2),
    QMK_NUMBER(currencies_actLine, 246, 2),
    QMK_NUMBER(nbModifications, 467, 2),
};
#undef QMK_NUMBER

struct FlagField {
    size_t offset;
    bool VLQmkaProVersion::*field;
};
const FlagField kFlagFields[] = {
    {6, &VLQmkaProVersion::coded},          {7, &VLQmkaProVersion::untilLine},
    {71, &VLQmkaProVersion::accountsAlpha}, {74, &VLQmkaProVersion::docOpenFlag},
    {79, &VLQmkaProVersion::change},        {80, &VLQmkaProVersion::changePropose},
    {81, &VLQmkaProVersion::ignoreChange},  {82, &VLQmkaProVersion::ignoreTVA},
    {83, &VLQmkaProVersion::TVA},           {86, &VLQmkaProVersion::notSharedDoc},
    {87, &VLQmkaProVersion::showBCLT},      {456, &VLQmkaProVersion::merloFont},
};

TEST_F(HeaderWriterTest, EveryFieldLandsInItsOwnBytes) {
    h = VLQmkaProVersion();
    test::Bytes want(512);
    want.be16(0, 6200).be16(77, 31); // the version word and the currency count

    // A value of its own for every number, with bytes that differ from field to field and
    // high bits that only the narrowing drops.
    for (size_t i = 0; i < std::size(kNumberFields); ++i) {
        const NumberField& f = kNumberFields[i];
        const auto n = static_cast<int64_t>(i + 1);
        const int64_t stored =
            f.set(h, 0x7E00000000000000LL | n << 24 | (n + 0x40) << 16 | (n + 0x80) << 8 | n);
        for (int b = 0; b < f.width; ++b)
            want.u8(f.offset + b, static_cast<uint8_t>(stored >> (8 * (f.width - 1 - b))));
    }
    const char* signs = ",.#~/";
    String* signFields[] = {&h.decPtSign, &h.thSepSign, &h.int0Sign, &h.frac0Sign, &h.dtSepSign};
    for (int i = 0; i < 5; ++i) {
        *signFields[i] = String(std::string(1, signs[i]), TextEncoding::MacRoman);
        want.u8(16 + 2 * i, static_cast<uint8_t>(signs[i]));
    }
    h.titre = String("Grand livre 2024", TextEncoding::MacRoman);
    want.pstr(26, "Grand livre 2024");
    h.docColor = String("&h00112233", TextEncoding::MacRoman);
    want.raw(88, "&h00112233");
    h.printTitle = String("Impression du grand livre", TextEncoding::MacRoman);
    want.pstr(380, "Impression du grand livre");
    h.lastBackup = String("240615", TextEncoding::MacRoman);
    want.pstr(460, "240615");
    for (int i = 0; i < 11; ++i) // the eleventh is not written
        h.wOrdre.push_back(0x0A00 + 17 * i);
    for (int i = 0; i < 10; ++i)
        want.be16(254 + 2 * i, static_cast<uint16_t>(0x0A00 + 17 * i));

    // Flag j is True in pass k when bit k of j + 1 is set: any two flags differ in some pass.
    for (int pass = 0; pass < 4; ++pass) {
        SCOPED_TRACE("flag pass " + std::to_string(pass));
        for (size_t j = 0; j < std::size(kFlagFields); ++j) {
            const bool on = ((j + 1) >> pass) & 1;
            h.*kFlagFields[j].field = on;
            want.u8(kFlagFields[j].offset, on ? 1 : 0);
        }
        const std::string got = header();
        for (const NumberField& f : kNumberFields)
            EXPECT_EQ(got.substr(f.offset, f.width), want.str().substr(f.offset, f.width))
                << f.name << " at " << f.offset;
        for (size_t i = 0; i < 512; ++i)
            ASSERT_EQ(static_cast<uint8_t>(got[i]), static_cast<uint8_t>(want.str()[i]))
                << "byte " << i;
    }
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
