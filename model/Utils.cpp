#include "model/Utils.h"

#include "platform/Worker.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <vector>

namespace qmk {

namespace {

std::mutex clockMutex;
Utils::Clock& clockFn() {
    static Utils::Clock c;
    return c;
}

Date clockNow() {
    std::lock_guard<std::mutex> lock(clockMutex);
    return clockFn() ? clockFn()() : Utils::SystemNow();
}
} // namespace

Date::Date() {
    *this = clockNow();
}

Date::Date(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute, int64_t second)
    : year_(year), month_(month), day_(day), hour_(hour), minute_(minute), second_(second) {
    normalise();
}

void Date::normalise() {
    SetTotalSeconds(TotalSeconds());
}

int64_t Date::TotalSeconds() const {
    using namespace std::chrono;
    // Month overflow first (13 is January of the next year), then days and time.
    const year_month ym = year{static_cast<int>(year_)} / January + months{month_ - 1};
    const sys_days day = sys_days{ym / 1} + days{day_ - 1};
    return duration_cast<seconds>(day.time_since_epoch()).count() + hour_ * 3600 + minute_ * 60 +
           second_;
}

void Date::SetTotalSeconds(int64_t s) {
    using namespace std::chrono;
    const sys_seconds t{seconds{s}};
    const sys_days day = floor<days>(t);
    const year_month_day ymd{day};
    const hh_mm_ss<seconds> time{t - day};
    year_ = static_cast<int>(ymd.year());
    month_ = static_cast<unsigned>(ymd.month());
    day_ = static_cast<unsigned>(ymd.day());
    hour_ = time.hours().count();
    minute_ = time.minutes().count();
    second_ = time.seconds().count();
}

void Date::SetYear(int64_t y) {
    year_ = y;
    normalise();
}
void Date::SetMonth(int64_t m) {
    month_ = m;
    normalise();
}
void Date::SetDay(int64_t d) {
    day_ = d;
    normalise();
}
void Date::SetHour(int64_t h) {
    hour_ = h;
    normalise();
}
void Date::SetMinute(int64_t m) {
    minute_ = m;
    normalise();
}
void Date::SetSecond(int64_t s) {
    second_ = s;
    normalise();
}

namespace Utils {

void SetClock(Clock c) {
    std::lock_guard<std::mutex> lock(clockMutex);
    clockFn() = std::move(c);
}

Date SystemNow() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return Date(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

Date Today() {
    Date d = clockNow();
    d.SetHour(0);
    d.SetMinute(0);
    d.SetSecond(0);
    return d;
}

Date VLFileDate2Date(const String& s) {
    Date d = Today();
    auto whole = [](double v) { return static_cast<int64_t>(std::trunc(v)); };
    int64_t yy = whole(Val(Left(s, 2)));
    int64_t mm = whole(Val(Mid(s, 3, 2)));
    int64_t dd = whole(Val(Right(s, 2)));
    d.SetYear(yy > 70 ? 1900 + yy : 2000 + yy);
    if (mm > 0)
        d.SetMonth(mm);
    if (dd > 0)
        d.SetDay(dd);
    if (d > Today()) {
        d.SetDay(1);
        d.SetMonth(1);
        d.SetYear(2000);
    }
    return d;
}

String VLDate2FileDate(const Date& d) {
    return String(Format00(d.Year() % 100).bytes + Format00(d.Month()).bytes +
                      Format00(d.Day()).bytes,
                  TextEncoding::UTF8);
}

String PString(const String& s, int64_t n) {
    int64_t L = MinInt(static_cast<int64_t>(s.LenB()), n);
    String text = ConvertEncoding(PadRightB(s, n, String(" ")), TextEncoding::MacRoman);
    return String(std::string(1, static_cast<char>(L & 0xFF)) + text.bytes, TextEncoding::MacRoman);
}

String PadRightB(const String& s, int64_t width, const String& pad) {
    int64_t len = static_cast<int64_t>(s.LenB());
    if (len >= width)
        return String(s.bytes.substr(0, static_cast<size_t>(std::max<int64_t>(width, 0))),
                      s.encoding);
    if (pad.LenB() == 0)
        return s;
    int64_t m = width - len;
    int64_t k =
        static_cast<int64_t>(std::ceil(static_cast<double>(m) / static_cast<double>(pad.LenB())));
    String fill = RepeatB(pad, k);
    return String(s.bytes + fill.bytes.substr(0, static_cast<size_t>(m)), s.encoding);
}

String RepeatB(const String& s, int64_t n) {
    size_t b = s.LenB();
    if (b == 0 || n < 1)
        return String(std::string(), s.encoding);
    std::string buf(b * static_cast<size_t>(n), '\0');
    for (int64_t i = 0; i < n; ++i) {
        buf.replace(static_cast<size_t>(i) * b, b, s.bytes);
        YieldNow();
    }
    return String(std::move(buf), s.encoding);
}

double Val(const String& s) {
    const std::string& t = s.bytes;
    size_t i = 0;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t'))
        ++i;
    size_t start = i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9')
        ++i, ++digits;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9')
            ++i, ++digits;
    }
    if (digits == 0)
        return 0.0;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        size_t j = i + 1;
        if (j < t.size() && (t[j] == '+' || t[j] == '-'))
            ++j;
        if (j < t.size() && t[j] >= '0' && t[j] <= '9') {
            while (j < t.size() && t[j] >= '0' && t[j] <= '9')
                ++j;
            i = j;
        }
    }
    return std::strtod(t.substr(start, i - start).c_str(), nullptr);
}

namespace {
// Byte offsets of the characters of s (a UTF-8 text counts characters, others bytes).
std::vector<size_t> charStarts(const String& s) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < s.bytes.size(); ++i) {
        if (s.encoding != TextEncoding::UTF8 ||
            Utf8SequenceLength(static_cast<uint8_t>(s.bytes[i])) != 0)
            starts.push_back(i);
    }
    return starts;
}
String slice(const String& s, int64_t firstChar, int64_t count) {
    auto starts = charStarts(s);
    int64_t total = static_cast<int64_t>(starts.size());
    if (firstChar < 0)
        firstChar = 0;
    if (count <= 0 || firstChar >= total)
        return String(std::string(), s.encoding);
    int64_t last = std::min(total, firstChar + count);
    size_t from = starts[static_cast<size_t>(firstChar)];
    size_t to = last < total ? starts[static_cast<size_t>(last)] : s.bytes.size();
    return String(s.bytes.substr(from, to - from), s.encoding);
}
} // namespace

String Left(const String& s, int64_t n) {
    return slice(s, 0, n);
}
String Mid(const String& s, int64_t start, int64_t n) {
    return slice(s, start - 1, n);
}
String Right(const String& s, int64_t n) {
    int64_t total = static_cast<int64_t>(charStarts(s).size());
    if (n <= 0)
        return String(std::string(), s.encoding);
    return slice(s, std::max<int64_t>(0, total - n), n);
}

String Trim(const String& s) {
    auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
    };
    size_t a = 0, b = s.bytes.size();
    while (a < b && blank(s.bytes[a]))
        ++a;
    while (b > a && blank(s.bytes[b - 1]))
        --b;
    return String(s.bytes.substr(a, b - a), s.encoding);
}

String Format00(int64_t v) {
    std::string digits = std::to_string(v < 0 ? -v : v);
    if (digits.size() < 2)
        digits = "0" + digits;
    return String((v < 0 ? "-" : "") + digits, TextEncoding::UTF8);
}

} // namespace Utils
} // namespace qmk
