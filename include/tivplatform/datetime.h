#pragma once
#include <cstdint>
#include <string>

#include "tivplatform/export.h"

namespace tiv {

// Days since 30 December 1899; the time of day is the fraction.
using TDateTime = double;

struct DateParts {
    int year = 0, month = 0, day = 0;
};
struct TimeParts {
    int hour = 0, minute = 0, second = 0, msec = 0;
};

// Invalid parts raise ConversionError naming them.
TIV_EXPORT TDateTime encodeDate(int year, int month, int day);
TIV_EXPORT TDateTime encodeTime(int hour, int minute, int second, int msec = 0);
TIV_EXPORT TDateTime encodeDateTime(int year, int month, int day, int hour, int minute, int second,
                                    int msec = 0);
TIV_EXPORT bool tryEncodeDate(int year, int month, int day, TDateTime &out);
TIV_EXPORT DateParts decodeDate(TDateTime dt);
TIV_EXPORT TimeParts decodeTime(TDateTime dt);
TIV_EXPORT bool isLeapYear(int year);
TIV_EXPORT int daysInMonth(int year, int month);

// Local clock.
TIV_EXPORT TDateTime now();
// The operating system's local clock, whatever the shift below.
TIV_EXPORT TDateTime systemNow();
// Moves now() and today() by a number of days (0 puts the clock back). For
// tests that must see a month change or a given time of day.
TIV_EXPORT void setClockShift(double days);
TIV_EXPORT TDateTime today();
TIV_EXPORT TDateTime dateOf(TDateTime dt);
TIV_EXPORT TDateTime timeOf(TDateTime dt);

// Text to date with the format settings' short date format: day, month and
// year in its order, "dd/mm/yyyy" and "dd/mm/yy" alike (two-digit years use
// the settings' century window). Bad text raises ConversionError.
TIV_EXPORT TDateTime strToDate(const std::string &text);
TIV_EXPORT bool tryStrToDate(const std::string &text, TDateTime &out);
// Date, optionally followed by a blank and "hh:nn[:ss]".
TIV_EXPORT TDateTime strToDateTime(const std::string &text);

// The host platform's date-time format language; pattern letters are
// case-insensitive ("d", "dd", "m", "mm", "yy", "yyyy", "h", "hh", "n", "nn",
// "s", "ss", "z", "zzz", "am/pm", quoted literals, "/" and ":" from the
// settings). An "m" right after an hour is the minute. An empty pattern
// gives the default short date-and-time form ("c").
TIV_EXPORT std::string formatDateTime(const std::string &pattern, TDateTime dt);
// The default short date-and-time form: short date, and the long time unless
// the time is midnight.
TIV_EXPORT std::string dateTimeToStr(TDateTime dt);

} // namespace tiv
