#include "model/DB_Format.h"

#include <gtest/gtest.h>

namespace qmk::DB_Format {
namespace {

// Byte positions where two images of a record differ.
std::vector<size_t> differing(const std::string& a, const std::string& b) {
    std::vector<size_t> d;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            d.push_back(i);
    return d;
}

std::vector<size_t> range(size_t from, size_t to) {
    std::vector<size_t> r;
    for (size_t i = from; i <= to; ++i)
        r.push_back(i);
    return r;
}

TEST(DB_FormatTest, CurrencyBigEndianImage) {
    CatRec c;
    c.long1 = 1;
    c.short1 = 2;
    c.wide1 = 3;
    c.wide2 = 4;
    c.flag1 = true;
    c.flag2 = false;
    std::string expected = std::string("\0\0\0\x01\0\x02", 6) + std::string(7, '\0') + "\x03" +
                           std::string(7, '\0') + "\x04" + std::string("\x01\0", 2);
    // Taken from a const record: an image never leaves the record swapped.
    const CatRec& held = c;
    EXPECT_EQ(held.StringValue(false), expected);
    EXPECT_EQ(held.StringValue(true).substr(0, 4), std::string("\x01\0\0\0", 4));
}

TEST(DB_FormatTest, NewRecordsAreAllZeroInBothOrders) {
    auto zero = [](const std::string& s) { return s == std::string(s.size(), '\0'); };
    EXPECT_TRUE(zero(CatRec{}.StringValue(false)) && zero(CatRec{}.StringValue(true)));
    EXPECT_TRUE(zero(AccessRec{}.StringValue(false)) && zero(AccessRec{}.StringValue(true)));
    EXPECT_TRUE(zero(CptRecord{}.StringValue(false)) && zero(CptRecord{}.StringValue(true)));
    EXPECT_TRUE(zero(EcrRecord{}.StringValue(false)) && zero(EcrRecord{}.StringValue(true)));
    EXPECT_TRUE(zero(EnrListRec{}.StringValue(false)) && zero(EnrListRec{}.StringValue(true)));
    EXPECT_TRUE(zero(BouclPlanRecord{}.StringValue(false)));
}

TEST(DB_FormatTest, AccessRightImagesDifferOnlyInItsNumber) {
    std::string image(42, '\0');
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>(i + 1);
    AccessRec a;
    a.StringValue(false, image);
    EXPECT_EQ(a.short1, 0x0304);
    EXPECT_EQ(a.StringValue(false), image); // loads and gives back the same bytes
    EXPECT_EQ(differing(a.StringValue(false), a.StringValue(true)), (std::vector<size_t>{2, 3}));
}

TEST(DB_FormatTest, ShortImageLoadsWhatItHasAndLeavesTheRestZero) {
    AccessRec a;
    a.StringValue(false, std::string(42, '\x11'));
    a.StringValue(false, "\x01\x02\x03");
    EXPECT_EQ(a.StringValue(false), std::string("\x01\x02\x03", 3) + std::string(39, '\0'));
}

TEST(DB_FormatTest, AccountImageSwapsOnlyItsNumbers) {
    CptRecord c;
    c.recNo = 0x01020304;
    c.prevRec = 0x05060708;
    c.nextRec = 0x090A0B0C;
    c.short1 = 0x0D0E;
    c.name = "\x05"
             "Caisse";
    c.flag1 = true;
    c.byte1 = 0x21;
    c.CAT = "ABCD";
    c.short2 = 0x1112;
    c.short3 = 0x1314;
    c.flag2 = true;
    c.flag3 = true;
    c.wide1 = 0x15161718191A1B1C;
    c.short4 = 0x1D1E;
    c.flag4 = true;
    c.byte2 = 0x22;
    for (int i = 0; i < 4; ++i) {
        c.boucl(i).short1 = static_cast<int16_t>(0x3000 + 2 * i);
        c.boucl(i).short2 = static_cast<int16_t>(0x3101 + 2 * i);
    }
    c.res = std::string(32, 'r');
    std::string be = c.StringValue(false), le = c.StringValue(true);
    std::vector<size_t> expected;
    for (auto r : {range(0, 13), range(62, 65), range(68, 77), range(80, 95)})
        expected.insert(expected.end(), r.begin(), r.end());
    EXPECT_EQ(differing(be, le), expected);
    EXPECT_EQ(be.substr(24, 7), "\x05"
                                "Caisse");
    EXPECT_EQ(be.substr(58, 4), "ABCD");
    EXPECT_EQ(be.substr(92, 4), std::string("\x30\x06\x31\x07", 4)); // boucl(3) at 92..95
    // Swapped in place, the record holds its big-endian image; swapped again, its own.
    CptRecord swapped = c;
    swapped.EndianSwap();
    EXPECT_EQ(swapped.StringValue(true), be);
    swapped.EndianSwap();
    EXPECT_EQ(swapped.StringValue(true), le);
}

TEST(DB_FormatTest, JournalImageKeepsTextsFlagsAndSpare) {
    EcrRecord e;
    e.recNo = 1;
    e.prevRec = 2;
    e.nextRec = 3;
    e.long1 = 0x80000000u;
    e.label = "\x0B"
              "Facture 12";
    e.ref = "\x03"
            "F12";
    e.short1 = 4;
    e.short2 = 5;
    e.wide1 = -1;
    e.byte1 = 7;
    e.flag1 = e.flag2 = e.flag3 = true;
    e.long2 = 9;
    std::string be = e.StringValue(false), le = e.StringValue(true);
    EXPECT_EQ(be.substr(16, 72), le.substr(16, 72));
    EXPECT_EQ(be.substr(100, 4), le.substr(100, 4));
    EXPECT_EQ(be.substr(108, 20), le.substr(108, 20));
    EXPECT_EQ(be.substr(12, 4), std::string("\x80\0\0\0", 4));
    EXPECT_EQ(be.substr(104, 4), std::string("\0\0\0\x09", 4));
}

TEST(DB_FormatTest, ListInformationAndClosingPairsLoadFromBigEndianImages) {
    EnrListRec r;
    r.long1 = 1;
    r.long2 = -1;
    r.long3 = 0x7FFFFFFF;
    r.long4 = -32768;
    const std::string image("\0\0\0\x01"
                            "\xFF\xFF\xFF\xFF"
                            "\x7F\xFF\xFF\xFF"
                            "\xFF\xFF\x80\0",
                            16);
    EXPECT_EQ(r.StringValue(false), image);
    EnrListRec back;
    back.StringValue(false, image);
    EXPECT_EQ(back.long1, 1);
    EXPECT_EQ(back.long2, -1);
    EXPECT_EQ(back.long3, 0x7FFFFFFF);
    EXPECT_EQ(back.long4, -32768);
    BouclPlanRecord b;
    b.StringValue(false, std::string("\xFF\xFE\x00\x05", 4));
    EXPECT_EQ(b.short1, -2);
    EXPECT_EQ(b.short2, 5);
}

TEST(DB_FormatTest, SlotAssignmentReplacesTheWholeSlot) {
    CptRecord c;
    c.name = "\x1E" + std::string(30, ' '); // a free slot's blank name
    c.name = "\x06"
             "Banque" +
             std::string("\0", 1);
    EXPECT_EQ(std::string(c.name.view()), "\x06"
                                          "Banque" +
                                              std::string(25, '\0'));
    c.res = std::string(44, 'x'); // longer than its slot: cut at the slot's end
    EXPECT_EQ(std::string(c.res.view()), std::string(32, 'x'));
    EXPECT_EQ(c.StringValue(true).size(), 128u);
    EcrRecord e;
    e.ref = "\x06"
            "      "
            " "; // 8 bytes exactly
    EXPECT_EQ(std::string(e.ref.view()), "\x06       ");
}

TEST(DB_FormatTest, ClosingPlanIndexOutsideZeroToThreeThrows) {
    CptRecord c;
    for (int64_t i : {-1, 4})
        EXPECT_THROW(c.boucl(i), std::out_of_range) << i;
    EXPECT_NO_THROW(c.boucl(3).short2 = 1);
}

} // namespace
} // namespace qmk::DB_Format
