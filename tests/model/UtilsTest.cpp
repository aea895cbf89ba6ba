#include "model/Utils.h"

#include <gtest/gtest.h>

namespace qmk {
namespace {

using namespace Utils;

class UtilsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetClock([] { return Date(2026, 12, 10, 10, 30, 15); });
    }
    void TearDown() override { SetClock(nullptr); }
    static std::string ymd(const Date& d) {
        return std::to_string(d.Year()) + "-" + std::to_string(d.Month()) + "-" +
               std::to_string(d.Day());
    }
};

TEST_F(UtilsTest, TodayIsMidnightOfTheClocksDate) {
    Date t = Today();
    EXPECT_EQ(ymd(t), "2026-12-10");
    EXPECT_EQ(t.Hour() + t.Minute() + t.Second(), 0);
}

TEST_F(UtilsTest, FileDateToDateAndBack) {
    struct Case {
        const char* text;
        const char* date;
        const char* back;
    } cases[] = {
        {"991231", "1999-12-31", "991231"},
        {"710101", "1971-1-1", "710101"},
        {"700101", "2000-1-1", "000101"}, // 2070 lies in the future
        {"000101", "2000-1-1", "000101"},
        {"990000", "1999-12-10", "991210"}, // month and day kept from today
        {"", "2000-12-10", "001210"},
        {"ab", "2000-12-10", "001210"},
        {"9912311", "1999-12-11", "991211"}, // the day comes from the last two characters
        {"050305", "2005-3-5", "050305"},
        {"261210", "2026-12-10", "261210"}, // today itself is not later than today
        {"261211", "2000-1-1", "000101"},
    };
    for (const auto& c : cases) {
        Date d = VLFileDate2Date(String(c.text));
        EXPECT_EQ(ymd(d), c.date) << c.text;
        EXPECT_EQ(VLDate2FileDate(d).bytes, c.back) << c.text;
    }
}

TEST_F(UtilsTest, InvalidCalendarDatesAreNormalised) {
    struct Case {
        const char* text;
        const char* date;
    } cases[] = {
        {"991331", "2000-1-31"}, // month 13 is January of the next year
        {"990231", "1999-3-3"},
        {"960231", "1996-3-2"}, // leap year
        {"991232", "2000-1-1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ymd(VLFileDate2Date(String(c.text))), c.date) << c.text;

    // Today's 29 February kept in a year that is not a leap year becomes 1 March.
    SetClock([] { return Date(2024, 2, 29, 8, 0, 0); });
    EXPECT_EQ(ymd(VLFileDate2Date(String("990000"))), "1999-3-1");
}

TEST_F(UtilsTest, CalendarArithmeticNormalisesLikeTheCalendar) {
    // Leap years by the century rule, month and day overflow either way, and time of day
    // carried into the date.
    struct Case {
        int64_t y, mo, d, h, mi, s;
        const char* date;
        int64_t hour, minute, second;
    } cases[] = {
        {1900, 2, 29, 0, 0, 0, "1900-3-1", 0, 0, 0}, // 1900 is no leap year
        {2000, 2, 29, 0, 0, 0, "2000-2-29", 0, 0, 0},
        {2100, 2, 29, 0, 0, 0, "2100-3-1", 0, 0, 0},
        {2024, 2, 30, 0, 0, 0, "2024-3-1", 0, 0, 0},
        {1999, 25, 1, 0, 0, 0, "2001-1-1", 0, 0, 0},
        {2000, 0, 15, 0, 0, 0, "1999-12-15", 0, 0, 0},
        {2000, -13, 1, 0, 0, 0, "1998-11-1", 0, 0, 0},
        {2000, 3, 0, 0, 0, 0, "2000-2-29", 0, 0, 0},
        {2001, 3, -1, 0, 0, 0, "2001-2-27", 0, 0, 0},
        {1999, 1, 366, 0, 0, 0, "2000-1-1", 0, 0, 0},
        {1999, 14, 31, 0, 0, 0, "2000-3-2", 0, 0, 0}, // month first, then the day
        {1999, 12, 31, 24, 0, 0, "2000-1-1", 0, 0, 0},
        {2000, 1, 1, 0, 0, -1, "1999-12-31", 23, 59, 59},
        {1970, 1, 1, -1, 30, 0, "1969-12-31", 23, 30, 0},
    };
    for (const auto& c : cases) {
        Date d(c.y, c.mo, c.d, c.h, c.mi, c.s);
        EXPECT_EQ(ymd(d), c.date) << c.y << "-" << c.mo << "-" << c.d;
        EXPECT_EQ(d.Hour() * 3600 + d.Minute() * 60 + d.Second(),
                  c.hour * 3600 + c.minute * 60 + c.second)
            << c.y << "-" << c.mo << "-" << c.d;
    }

    // Seconds count from 1 January 1970, both ways and before it.
    EXPECT_EQ(Date(1970, 1, 1).TotalSeconds(), 0);
    EXPECT_EQ(Date(2000, 3, 1).TotalSeconds() - Date(2000, 2, 28).TotalSeconds(), 2 * 86400);
    EXPECT_EQ(Date(1900, 3, 1).TotalSeconds() - Date(1900, 2, 28).TotalSeconds(), 86400);
    Date back;
    back.SetTotalSeconds(-1);
    EXPECT_EQ(ymd(back), "1969-12-31");
    EXPECT_EQ(back.Second(), 59);
    back.SetTotalSeconds(Date(2100, 12, 31, 12, 0, 0).TotalSeconds());
    EXPECT_EQ(ymd(back), "2100-12-31");
    EXPECT_EQ(back.Hour(), 12);

    // A day kept from today and a month set after it: 31 March with the month set to
    // April becomes 1 May.
    Date d(2024, 3, 31);
    d.SetMonth(4);
    EXPECT_EQ(ymd(d), "2024-5-1");
}

TEST_F(UtilsTest, LeapDayInTheDocumentRange) {
    EXPECT_EQ(ymd(VLFileDate2Date(String("000229"))), "2000-2-29");
    EXPECT_EQ(ymd(VLFileDate2Date(String("010229"))), "2001-3-1");
    EXPECT_EQ(ymd(VLFileDate2Date(String("960229"))), "1996-2-29");
    EXPECT_EQ(VLDate2FileDate(VLFileDate2Date(String("000229"))).bytes, "000229");
}

TEST_F(UtilsTest, FixedWidthTexts) {
    String blank30 = PString(RepeatB(String(" "), 30), 30);
    EXPECT_EQ(blank30.bytes, "\x1E" + std::string(30, ' '));
    EXPECT_EQ(blank30.encoding, TextEncoding::MacRoman);
    EXPECT_EQ(PString(String(std::string(7, ' ')), 6).bytes, "\x06" + std::string(6, ' '));
    EXPECT_EQ(PString(String("abc"), 5).bytes, "\x03"
                                               "abc  ");
    EXPECT_EQ(PString(String(std::string(63, ' ')), 63).bytes.size(), 64u);

    struct Pad {
        const char* s;
        int64_t width;
        const char* pad;
        const char* result;
    } pads[] = {
        {"abc", 2, " ", "ab"},
        {"abc", 3, " ", "abc"},
        {"a", 4, "xy", "axyx"},
        {"a", 4, "", "a"},
    };
    for (const auto& p : pads)
        EXPECT_EQ(PadRightB(String(p.s), p.width, String(p.pad)).bytes, p.result) << p.s;

    EXPECT_EQ(RepeatB(String("ab"), 3).bytes, "ababab");
    EXPECT_EQ(Repeat(String(""), 3).bytes, "");
    EXPECT_EQ(RepeatB(String("ab"), 0).bytes, "");
    EXPECT_EQ(RepeatB(String("ab"), -2).bytes, "");
    EXPECT_EQ(MinInt(3, 3), 3);
    EXPECT_EQ(MinInt(-1, 2), -1);
}

TEST_F(UtilsTest, TextFunctions) {
    EXPECT_EQ(Val(String("  12ab")), 12.0);
    EXPECT_EQ(Val(String("-3.5e1")), -35.0);
    EXPECT_EQ(Val(String("x12")), 0.0);
    EXPECT_EQ(Val(String("0x1F")), 0.0);
    EXPECT_EQ(Val(String("")), 0.0);
    EXPECT_EQ(Left(String("été"), 2).bytes, "ét"); // UTF-8 counts characters
    EXPECT_EQ(Mid(String("991231"), 3, 2).bytes, "12");
    EXPECT_EQ(Right(String("9"), 2).bytes, "9");
    EXPECT_EQ(Right(DefineEncoding("\xC3\xA9", TextEncoding::None), 1).bytes, "\xA9");
    EXPECT_EQ(Trim(String(" \t\r\n 06 \v\f")).bytes, "06");
    EXPECT_EQ(Trim(String(std::string("\0 ", 2))).bytes, std::string("\0", 1));
    EXPECT_EQ(Format00(5).bytes, "05");
    EXPECT_EQ(Format00(123).bytes, "123");
}

} // namespace
} // namespace qmk
