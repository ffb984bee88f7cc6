#include "tivplatform/datetime.h"
#include <atomic>

#include <cctype>
#include <cmath>
#include <ctime>
#include <string>

#include "tivplatform/errors.h"
#include "tivplatform/settings.h"

namespace tiv {

namespace {

constexpr int64_t kMSecsPerDay = 86400000;
// Days from 1 January of year 1 to 30 December 1899.
constexpr int64_t kDateDelta = 693594;

const int kMonthDays[2][12] = {{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
                               {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}};

std::string quoted(const std::string &text) {
    return "\"" + text + "\"";
}

// Whole days and milliseconds of the day, as the host platform splits a
// serial: the time is the fraction's absolute value, rounded to the
// millisecond (rounding may carry into the next day).
struct Stamp {
    int64_t days = 0; // days since 30 December 1899 (may be negative)
    int64_t msecs = 0;
};

Stamp toStamp(TDateTime dt) {
    Stamp s;
    if (!std::isfinite(dt) || std::fabs(dt) > 3e6)
        throw ConversionError("invalid date-time serial " + std::to_string(dt));
    if (dt >= 0) {
        int64_t total = std::llround(dt * kMSecsPerDay);
        s.days = total / kMSecsPerDay;
        s.msecs = total % kMSecsPerDay;
    } else {
        double whole = std::trunc(dt);
        s.days = static_cast<int64_t>(whole);
        s.msecs = std::llround(std::fabs(dt - whole) * kMSecsPerDay);
        if (s.msecs >= kMSecsPerDay) s.msecs = kMSecsPerDay - 1;
    }
    return s;
}

DateParts daysToDate(int64_t serialDays) {
    // Civil-from-days on the proleptic Gregorian calendar.
    int64_t t = serialDays + kDateDelta; // days since 1 Jan 0001, that day = 1
    if (t <= 0)
        throw ConversionError("date serial " + std::to_string(serialDays) + " is before year 1");
    --t;
    int64_t y = 1;
    int64_t n400 = t / 146097;
    t %= 146097;
    int64_t n100 = t / 36524;
    t %= 36524;
    if (n100 == 4) {
        n100 = 3;
        t += 36524;
    }
    int64_t n4 = t / 1461;
    t %= 1461;
    int64_t n1 = t / 365;
    t %= 365;
    if (n1 == 4) {
        n1 = 3;
        t += 365;
    }
    y += n400 * 400 + n100 * 100 + n4 * 4 + n1;
    DateParts d;
    d.year = static_cast<int>(y);
    const int *md = kMonthDays[isLeapYear(d.year) ? 1 : 0];
    int m = 0;
    while (t >= md[m]) {
        t -= md[m];
        ++m;
    }
    d.month = m + 1;
    d.day = static_cast<int>(t) + 1;
    return d;
}

} // namespace

bool isLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int daysInMonth(int year, int month) {
    if (month < 1 || month > 12) return 0;
    return kMonthDays[isLeapYear(year) ? 1 : 0][month - 1];
}

bool tryEncodeDate(int year, int month, int day, TDateTime &out) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > daysInMonth(year, month))
        return false;
    const int *md = kMonthDays[isLeapYear(year) ? 1 : 0];
    int64_t d = day;
    for (int i = 0; i < month - 1; ++i)
        d += md[i];
    int64_t y = year - 1;
    out = static_cast<double>(y * 365 + y / 4 - y / 100 + y / 400 + d - kDateDelta);
    return true;
}

TDateTime encodeDate(int year, int month, int day) {
    TDateTime out;
    if (!tryEncodeDate(year, month, day, out))
        throw ConversionError("invalid date: year " + std::to_string(year) + ", month " +
                              std::to_string(month) + ", day " + std::to_string(day));
    return out;
}

TDateTime encodeTime(int hour, int minute, int second, int msec) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        msec < 0 || msec > 999)
        throw ConversionError("invalid time: hour " + std::to_string(hour) + ", minute " +
                              std::to_string(minute) + ", second " + std::to_string(second) +
                              ", millisecond " + std::to_string(msec));
    int64_t ms = ((static_cast<int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + msec;
    return static_cast<double>(ms) / kMSecsPerDay;
}

TDateTime encodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec) {
    TDateTime date = encodeDate(year, month, day);
    TDateTime time = encodeTime(hour, minute, second, msec);
    // Before 30 December 1899 the time still counts forward from midnight.
    return date >= 0 ? date + time : date - time;
}

DateParts decodeDate(TDateTime dt) {
    return daysToDate(toStamp(dt).days);
}

TimeParts decodeTime(TDateTime dt) {
    int64_t ms = toStamp(dt).msecs;
    TimeParts t;
    t.msec = static_cast<int>(ms % 1000);
    ms /= 1000;
    t.second = static_cast<int>(ms % 60);
    ms /= 60;
    t.minute = static_cast<int>(ms % 60);
    t.hour = static_cast<int>(ms / 60);
    return t;
}

namespace {
// Shift of the local clock, for tests that need another day or month.
std::atomic<double> clockShiftDays{0.0};
} // namespace

void setClockShift(double days) {
    clockShiftDays.store(days);
}

TDateTime now() {
    return systemNow() + clockShiftDays.load();
}

TDateTime systemNow() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    localtime_r(&ts.tv_sec, &tm);
    int msec = static_cast<int>(ts.tv_nsec / 1000000);
    return encodeDateTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                          tm.tm_sec > 59 ? 59 : tm.tm_sec, msec);
}

TDateTime today() {
    return dateOf(now());
}

TDateTime dateOf(TDateTime dt) {
    return static_cast<double>(toStamp(dt).days);
}

TDateTime timeOf(TDateTime dt) {
    return static_cast<double>(toStamp(dt).msecs) / kMSecsPerDay;
}

// --- Text to date ----------------------------------------------------------

namespace {

enum class DateOrder { DMY, MDY, YMD };

DateOrder dateOrder(const std::string &format) {
    for (char c : format) {
        char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (u == 'D') return DateOrder::DMY;
        if (u == 'Y') return DateOrder::YMD;
        if (u == 'M') return DateOrder::MDY;
    }
    return DateOrder::DMY;
}

struct Scanner {
    const std::string &s;
    size_t pos = 0;

    void blanks() {
        while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t'))
            ++pos;
    }
    // Up to `maxDigits` digits; `count` receives how many were read.
    bool number(int &value, int &count, int maxDigits = 4) {
        blanks();
        count = 0;
        value = 0;
        while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos]))) {
            if (count == maxDigits) return false;
            value = value * 10 + (s[pos] - '0');
            ++pos;
            ++count;
        }
        return count > 0;
    }
    bool ch(char c) {
        blanks();
        if (pos < s.size() && s[pos] == c) {
            ++pos;
            return true;
        }
        return false;
    }
    bool atEnd() {
        blanks();
        return pos == s.size();
    }
    bool word(const std::string &w) {
        if (s.size() - pos < w.size()) return false;
        for (size_t i = 0; i < w.size(); ++i)
            if (std::toupper(static_cast<unsigned char>(s[pos + i])) !=
                std::toupper(static_cast<unsigned char>(w[i])))
                return false;
        pos += w.size();
        return true;
    }
};

int currentYear() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm.tm_year + 1900;
}

bool scanDate(Scanner &sc, TDateTime &out) {
    const FormatSettings &fs = formatSettings();
    const char sep = fs.dateSeparator;
    int n1, n2, n3 = 0, l1, l2, l3 = 0;
    size_t start = sc.pos;
    if (!sc.number(n1, l1) || !sc.ch(sep) || !sc.number(n2, l2)) {
        sc.pos = start;
        return false;
    }
    bool three = false;
    size_t mark = sc.pos;
    if (sc.ch(sep)) {
        if (!sc.number(n3, l3)) {
            sc.pos = start;
            return false;
        }
        three = true;
    } else {
        sc.pos = mark;
    }
    int y, m, d, yLen;
    DateOrder order = dateOrder(fs.shortDateFormat);
    if (!three) {
        y = currentYear();
        yLen = 4;
        if (order == DateOrder::MDY) {
            m = n1;
            d = n2;
        } else if (order == DateOrder::DMY) {
            d = n1;
            m = n2;
        } else {
            m = n1;
            d = n2;
        }
    } else if (order == DateOrder::MDY) {
        m = n1, d = n2, y = n3, yLen = l3;
    } else if (order == DateOrder::DMY) {
        d = n1, m = n2, y = n3, yLen = l3;
    } else {
        y = n1, m = n2, d = n3, yLen = l1;
    }
    if (yLen <= 2) {
        // Two-digit year: the century window of the settings.
        int window = fs.twoDigitYearCenturyWindow;
        int base = currentYear() - window;
        y += base / 100 * 100;
        if (window > 0 && y < base) y += 100;
    }
    if (!tryEncodeDate(y, m, d, out)) {
        sc.pos = start;
        return false;
    }
    return true;
}

bool scanTime(Scanner &sc, TDateTime &out) {
    const FormatSettings &fs = formatSettings();
    int h, n = 0, s = 0, z = 0, len;
    size_t start = sc.pos;
    if (!sc.number(h, len, 2)) return false;
    bool hasMinutes = false;
    if (sc.ch(fs.timeSeparator)) {
        if (!sc.number(n, len, 2)) return (sc.pos = start, false);
        hasMinutes = true;
        if (sc.ch(fs.timeSeparator)) {
            if (!sc.number(s, len, 2)) return (sc.pos = start, false);
            if (sc.pos < sc.s.size() && sc.s[sc.pos] == fs.decimalSeparator) {
                ++sc.pos;
                if (!sc.number(z, len, 3)) return (sc.pos = start, false);
                while (len++ < 3)
                    z *= 10;
            }
        }
    }
    sc.blanks();
    int pm = -1;
    if (sc.word(fs.timeAMString) && !fs.timeAMString.empty())
        pm = 0;
    else if (sc.word(fs.timePMString) && !fs.timePMString.empty())
        pm = 1;
    else if (sc.word("AM"))
        pm = 0;
    else if (sc.word("PM"))
        pm = 1;
    if (!hasMinutes && pm < 0) return (sc.pos = start, false);
    if (pm >= 0) {
        if (h < 1 || h > 12) return (sc.pos = start, false);
        if (h == 12) h = 0;
        if (pm == 1) h += 12;
    }
    if (h > 23 || n > 59 || s > 59) return (sc.pos = start, false);
    out = encodeTime(h, n, s, z);
    return true;
}

} // namespace

bool tryStrToDate(const std::string &text, TDateTime &out) {
    Scanner sc{text};
    TDateTime d;
    if (!scanDate(sc, d) || !sc.atEnd()) return false;
    out = d;
    return true;
}

TDateTime strToDate(const std::string &text) {
    TDateTime d;
    if (!tryStrToDate(text, d))
        throw ConversionError("cannot convert text " + quoted(text) + " to Date");
    return d;
}

TDateTime strToDateTime(const std::string &text) {
    Scanner sc{text};
    TDateTime d = 0, t = 0;
    if (scanDate(sc, d)) {
        if (sc.atEnd()) return d;
        if (scanTime(sc, t) && sc.atEnd()) return d >= 0 ? d + t : d - t;
    } else {
        sc.pos = 0;
        if (scanTime(sc, t) && sc.atEnd()) return t;
    }
    throw ConversionError("cannot convert text " + quoted(text) + " to DateTime");
}

// --- Formatting ------------------------------------------------------------

namespace {

void appendNumber(std::string &out, int value, int width) {
    std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < width) out += std::string(width - digits.size(), '0');
    out += digits;
}

bool startsWithNoCase(const std::string &s, size_t pos, const char *w) {
    for (size_t i = 0; w[i]; ++i) {
        if (pos + i >= s.size()) return false;
        if (std::toupper(static_cast<unsigned char>(s[pos + i])) !=
            std::toupper(static_cast<unsigned char>(w[i])))
            return false;
    }
    return true;
}

struct Formatter {
    TDateTime dt;
    DateParts date{};
    TimeParts time{};
    int weekDay = 0; // 0 Sunday
    int level = 0;

    explicit Formatter(TDateTime v) : dt(v) {
        Stamp s = toStamp(v);
        date = daysToDate(s.days);
        time = decodeTime(v);
        // 30 December 1899 was a Saturday.
        weekDay = static_cast<int>(((s.days + 6) % 7 + 7) % 7);
    }

    // An hour pattern uses the 12-hour clock when an am/pm marker follows it.
    static bool twelveHourAhead(const std::string &f, size_t pos) {
        char quote = 0;
        for (size_t i = pos; i < f.size(); ++i) {
            char c = f[i];
            if (quote) {
                if (c == quote) quote = 0;
                continue;
            }
            if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == 'a' || c == 'A') {
                if (startsWithNoCase(f, i, "AM/PM") || startsWithNoCase(f, i, "A/P") ||
                    startsWithNoCase(f, i, "AMPM"))
                    return true;
            } else if (c == 'h' || c == 'H') {
                return false; // the next hour decides for itself
            }
        }
        return false;
    }

    void append(std::string &out, const std::string &f) {
        if (level >= 2) return;
        ++level;
        const FormatSettings &fs = formatSettings();
        char lastToken = ' ';
        bool twelveHour = false;
        size_t i = 0;
        while (i < f.size()) {
            char starter = f[i];
            char token = static_cast<char>(std::toupper(static_cast<unsigned char>(starter)));
            bool letter = token >= 'A' && token <= 'Z';
            if (letter) {
                if (token == 'M' && lastToken == 'H') token = 'N';
                lastToken = token;
            }
            // Run length of the same letter, any case.
            auto count = [&]() {
                size_t j = i + 1;
                while (j < f.size() && std::toupper(static_cast<unsigned char>(f[j])) ==
                                           std::toupper(static_cast<unsigned char>(starter)))
                    ++j;
                int c = static_cast<int>(j - i);
                i = j;
                return c;
            };
            switch (token) {
            case 'Y': {
                int c = count();
                if (c <= 2)
                    appendNumber(out, date.year % 100, 2);
                else
                    appendNumber(out, date.year, 4);
                break;
            }
            case 'M': {
                int c = count();
                if (c == 1)
                    appendNumber(out, date.month, 0);
                else if (c == 2)
                    appendNumber(out, date.month, 2);
                else if (c == 3)
                    out += fs.shortMonthNames[date.month - 1];
                else
                    out += fs.longMonthNames[date.month - 1];
                break;
            }
            case 'D': {
                int c = count();
                if (c == 1)
                    appendNumber(out, date.day, 0);
                else if (c == 2)
                    appendNumber(out, date.day, 2);
                else if (c == 3)
                    out += fs.shortDayNames[weekDay];
                else if (c == 4)
                    out += fs.longDayNames[weekDay];
                else if (c == 5)
                    append(out, fs.shortDateFormat);
                else
                    append(out, fs.longDateFormat);
                break;
            }
            case 'H': {
                size_t at = i;
                int c = count();
                twelveHour = twelveHourAhead(f, at + c);
                int h = time.hour;
                if (twelveHour) {
                    h %= 12;
                    if (h == 0) h = 12;
                }
                appendNumber(out, h, c == 1 ? 0 : 2);
                break;
            }
            case 'N': {
                int c = count();
                appendNumber(out, time.minute, c == 1 ? 0 : 2);
                break;
            }
            case 'S': {
                int c = count();
                appendNumber(out, time.second, c == 1 ? 0 : 2);
                break;
            }
            case 'Z': {
                int c = count();
                appendNumber(out, time.msec, c == 1 ? 0 : 3);
                break;
            }
            case 'T': {
                int c = count();
                append(out, c == 1 ? fs.shortTimeFormat : fs.longTimeFormat);
                break;
            }
            case 'C': {
                count();
                append(out, fs.shortDateFormat);
                if (time.hour || time.minute || time.second || time.msec) {
                    out += ' ';
                    append(out, fs.longTimeFormat);
                }
                break;
            }
            case 'A': {
                bool pm = time.hour >= 12;
                if (startsWithNoCase(f, i, "AM/PM")) {
                    out += f.substr(i + (pm ? 3 : 0), 2); // keeps the pattern's case
                    i += 5;
                } else if (startsWithNoCase(f, i, "A/P")) {
                    out += f[i + (pm ? 2 : 0)];
                    i += 3;
                } else if (startsWithNoCase(f, i, "AMPM")) {
                    out += pm ? fs.timePMString : fs.timeAMString;
                    i += 4;
                } else {
                    out += starter;
                    ++i;
                }
                break;
            }
            case '/':
                out += fs.dateSeparator;
                ++i;
                break;
            case ':':
                out += fs.timeSeparator;
                ++i;
                break;
            case '"':
            case '\'': {
                size_t end = f.find(starter, i + 1);
                if (end == std::string::npos) end = f.size();
                out += f.substr(i + 1, end - i - 1);
                i = end + 1;
                break;
            }
            default:
                out += starter;
                ++i;
                break;
            }
        }
        --level;
    }
};

} // namespace

std::string formatDateTime(const std::string &pattern, TDateTime dt) {
    Formatter fm(dt);
    std::string out;
    fm.append(out, pattern.empty() ? std::string("c") : pattern);
    return out;
}

std::string dateTimeToStr(TDateTime dt) {
    return formatDateTime("c", dt);
}

} // namespace tiv
