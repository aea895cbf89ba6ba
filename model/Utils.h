// Date and text codecs of the document road.
#pragma once

#include "platform/Text.h"

#include <compare>
#include <cstdint>
#include <functional>

namespace qmk {

// A local calendar date with a time of day. Assigning a year, month or day that
// gives no calendar date is normalised at once, as C mktime does (month 13 is
// January of the next year, 31 February is 3 March, or 2 March in a leap year).
class Date {
  public:
    Date(); // today, now (from the clock that Utils uses)
    Date(int64_t year, int64_t month, int64_t day, int64_t hour = 0, int64_t minute = 0,
         int64_t second = 0);

    int64_t Year() const { return year_; }
    int64_t Month() const { return month_; }
    int64_t Day() const { return day_; }
    int64_t Hour() const { return hour_; }
    int64_t Minute() const { return minute_; }
    int64_t Second() const { return second_; }
    void SetYear(int64_t y);
    void SetMonth(int64_t m);
    void SetDay(int64_t d);
    void SetHour(int64_t h);
    void SetMinute(int64_t m);
    void SetSecond(int64_t s);

    // Seconds since 1 January 1970 00:00:00 of the same (local) calendar.
    int64_t TotalSeconds() const;
    void SetTotalSeconds(int64_t s);

    auto operator<=>(const Date& o) const { return TotalSeconds() <=> o.TotalSeconds(); }
    bool operator==(const Date& o) const { return TotalSeconds() == o.TotalSeconds(); }

  private:
    void normalise();
    int64_t year_ = 2000, month_ = 1, day_ = 1, hour_ = 0, minute_ = 0, second_ = 0;
};

namespace Utils {

// The clock behind Date() and Today(): the local date and time now. Tests fix it.
using Clock = std::function<Date()>;
void SetClock(Clock c); // an empty function restores the system clock
Date SystemNow();

Date Today();
Date VLFileDate2Date(const String& s);
String VLDate2FileDate(const Date& d);
String PString(const String& s, int64_t n);
String PadRightB(const String& s, int64_t width, const String& pad);
String RepeatB(const String& s, int64_t n);
inline String Repeat(const String& s, int64_t n) {
    return RepeatB(s, n);
}
inline int64_t MinInt(int64_t a, int64_t b) {
    return a <= b ? a : b;
}

// Framework text functions these codecs rely on.
double Val(const String& s);
String Left(const String& s, int64_t n);
String Mid(const String& s, int64_t start, int64_t n); // start counted from 1
String Right(const String& s, int64_t n);
String Trim(const String& s);
String Format00(int64_t v); // decimal, at least two digits

} // namespace Utils
} // namespace qmk
