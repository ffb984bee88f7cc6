#include "tivplatform/datetime.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tivplatform/errors.h"
#include "tivplatform/settings.h"

namespace {

class DateTimeTest : public ::testing::Test {
  protected:
    void SetUp() override { tiv::resetFormatSettings(); }
    void TearDown() override { tiv::resetFormatSettings(); }
};

TEST_F(DateTimeTest, SerialsCountDaysFrom30December1899) {
    struct Case {
        int y, m, d;
        double serial;
    };
    const Case cases[] = {
        {1899, 12, 30, 0},  {1899, 12, 31, 1},    {1900, 1, 1, 2},
        {1900, 3, 1, 61},   {2000, 2, 29, 36585}, {2024, 1, 15, 45306},
        {1899, 12, 29, -1}, {1, 1, 1, -693593},   {9999, 12, 31, 2958465},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(tiv::encodeDate(c.y, c.m, c.d), c.serial) << c.y << "-" << c.m << "-" << c.d;
        tiv::DateParts p = tiv::decodeDate(c.serial);
        EXPECT_EQ(p.year, c.y);
        EXPECT_EQ(p.month, c.m);
        EXPECT_EQ(p.day, c.d);
    }
}

TEST_F(DateTimeTest, TimeIsTheFractionAndRoundsToTheMillisecond) {
    tiv::TDateTime dt = tiv::encodeDateTime(2024, 1, 15, 13, 5, 9, 250);
    EXPECT_EQ(std::floor(dt), 45306);
    tiv::TimeParts t = tiv::decodeTime(dt);
    EXPECT_EQ(t.hour, 13);
    EXPECT_EQ(t.minute, 5);
    EXPECT_EQ(t.second, 9);
    EXPECT_EQ(t.msec, 250);
    // A hair before midnight rounds into the next day, date and time together.
    tiv::TDateTime late = 45306 + 0.99999999999;
    EXPECT_EQ(tiv::decodeDate(late).day, 16);
    EXPECT_EQ(tiv::decodeTime(late).hour, 0);
    // Before 1899 the fraction is still the time of day.
    tiv::TDateTime old = tiv::encodeDateTime(1899, 12, 29, 6, 0, 0);
    EXPECT_EQ(old, -1.25);
    EXPECT_EQ(tiv::decodeDate(old).day, 29);
    EXPECT_EQ(tiv::decodeTime(old).hour, 6);
    EXPECT_EQ(tiv::dateOf(dt), 45306);
    EXPECT_NEAR(tiv::timeOf(dt), dt - 45306, 1e-9);
}

TEST_F(DateTimeTest, InvalidPartsAreRefusedByName) {
    EXPECT_THROW(tiv::encodeDate(2023, 2, 29), tiv::ConversionError);
    EXPECT_THROW(tiv::encodeDate(2024, 13, 1), tiv::ConversionError);
    EXPECT_THROW(tiv::encodeTime(24, 0, 0), tiv::ConversionError);
    try {
        tiv::encodeDate(2024, 4, 31);
        FAIL() << "no error";
    } catch (const tiv::ConversionError &e) {
        EXPECT_STREQ(e.what(), "invalid date: year 2024, month 4, day 31");
    }
    EXPECT_THROW(tiv::decodeDate(NAN), tiv::ConversionError);
}

TEST_F(DateTimeTest, FormatPatternsTheDriverUses) {
    tiv::TDateTime dt = tiv::encodeDateTime(2024, 3, 7, 9, 5, 4);
    tiv::TDateTime noon = tiv::encodeDateTime(2024, 11, 28, 14, 35, 59);
    struct Case {
        const char *pattern;
        tiv::TDateTime value;
        const char *expected;
    };
    const Case cases[] = {
        {"dd/mm/yyyy hh:nn:ss", dt, "07/03/2024 09:05:04"},
        {"dd/mm/yyyy", dt, "07/03/2024"},
        {"ddmmyyyy", dt, "07032024"},
        {"DDMMYYYY", dt, "07032024"},
        {"MMYY", dt, "0324"},
        {"YYYYMMDD", dt, "20240307"},
        {"HHNNSS", dt, "090504"},
        {"ddmmyyyyhhmss", dt,
         "07032024095"
         "04"}, // minute 5 without its zero
        {"ddmmyyyyhhmss", noon,
         "2811202414"
         "35"
         "59"},
        {"DD/MM/YYYY hh:mm", dt, "07/03/2024 09:05"}, // mm after hh is the minute
        {"dd/MM/yy", dt, "07/03/24"},
        {"d/m/yyyy h:n:s", dt, "7/3/2024 9:5:4"},
        {"hh:nn:ss.zzz", tiv::encodeTime(1, 2, 3, 45), "01:02:03.045"},
        {"", dt, "07/03/2024 09:05:04"},
        {"c", tiv::encodeDate(2024, 3, 7), "07/03/2024"}, // midnight shows no time
        {"dd 'de' mmmm", dt, "07 de mar\xE7o"},
        {"ddd dddd", dt, "qui quinta-feira"},
        {"h:nn am/pm", noon, "2:35 pm"},
        {"hh:nn AM/PM", dt, "09:05 AM"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(tiv::formatDateTime(c.pattern, c.value), c.expected) << "pattern " << c.pattern;
}

TEST_F(DateTimeTest, SeparatorsComeFromTheSettings) {
    tiv::formatSettings().dateSeparator = '-';
    tiv::formatSettings().timeSeparator = '.';
    tiv::TDateTime dt = tiv::encodeDateTime(2024, 3, 7, 9, 5, 4);
    EXPECT_EQ(tiv::formatDateTime("dd/mm/yyyy hh:nn:ss", dt), "07-03-2024 09.05.04");
    EXPECT_EQ(tiv::formatDateTime("dd\"/\"mm", dt), "07/03"); // quoted text is literal
    EXPECT_EQ(tiv::strToDate("07-03-2024"), tiv::encodeDate(2024, 3, 7));
}

TEST_F(DateTimeTest, TextToDateInBothYearForms) {
    const int year = tiv::decodeDate(tiv::today()).year;
    const int century = (year - 50) / 100 * 100;
    auto windowed = [&](int yy) {
        int y = century + yy;
        return y < year - 50 ? y + 100 : y;
    };
    EXPECT_EQ(tiv::strToDate("07/03/2024"), tiv::encodeDate(2024, 3, 7));
    EXPECT_EQ(tiv::strToDate(" 7/3/2024 "), tiv::encodeDate(2024, 3, 7));
    EXPECT_EQ(tiv::strToDate("07/03/24"), tiv::encodeDate(windowed(24), 3, 7));
    EXPECT_EQ(tiv::strToDate("31/12/99"), tiv::encodeDate(windowed(99), 12, 31));
    EXPECT_EQ(tiv::strToDate("07/03"), tiv::encodeDate(year, 3, 7));

    tiv::formatSettings().shortDateFormat = "yyyy/mm/dd";
    EXPECT_EQ(tiv::strToDate("2024/03/07"), tiv::encodeDate(2024, 3, 7));
    tiv::formatSettings().shortDateFormat = "mm/dd/yyyy";
    EXPECT_EQ(tiv::strToDate("03/07/2024"), tiv::encodeDate(2024, 3, 7));
}

TEST_F(DateTimeTest, BadDateTextIsRefused) {
    tiv::TDateTime out = 123;
    for (const char *bad : {"", "abc", "32/01/2024", "29/02/2023", "07/13/2024", "07-03-2024",
                            "07/03/2024x", "07/03/20245", "07//2024", "/03/2024"}) {
        EXPECT_FALSE(tiv::tryStrToDate(bad, out)) << bad;
        EXPECT_THROW(tiv::strToDate(bad), tiv::ConversionError) << bad;
    }
    EXPECT_EQ(out, 123); // untouched by a failure
    try {
        tiv::strToDate("31/02/2024");
        FAIL() << "no error";
    } catch (const tiv::ConversionError &e) {
        EXPECT_STREQ(e.what(), "cannot convert text \"31/02/2024\" to Date");
    }
}

TEST_F(DateTimeTest, TextToDateTime) {
    EXPECT_EQ(tiv::strToDateTime("07/03/2024 09:05:04"), tiv::encodeDateTime(2024, 3, 7, 9, 5, 4));
    EXPECT_EQ(tiv::strToDateTime("07/03/2024 9:05"), tiv::encodeDateTime(2024, 3, 7, 9, 5, 0));
    EXPECT_EQ(tiv::strToDateTime("07/03/2024"), tiv::encodeDate(2024, 3, 7));
    EXPECT_EQ(tiv::strToDateTime("14:30"), tiv::encodeTime(14, 30, 0));
    EXPECT_EQ(tiv::strToDateTime("2:30 PM"), tiv::encodeTime(14, 30, 0));
    for (const char *bad : {"07/03/2024 25:00", "07/03/2024 10:61", "10:", "07/03/2024 x"})
        EXPECT_THROW(tiv::strToDateTime(bad), tiv::ConversionError) << bad;
    // Round trip through the default form.
    tiv::TDateTime dt = tiv::encodeDateTime(2023, 12, 31, 23, 59, 58);
    EXPECT_EQ(tiv::strToDateTime(tiv::dateTimeToStr(dt)), dt);
}

TEST_F(DateTimeTest, NowAndTodayAgree) {
    tiv::TDateTime n = tiv::now();
    tiv::TDateTime t = tiv::today();
    EXPECT_GE(n, t);
    EXPECT_LT(n - t, 1.0 + 1e-6); // allows a midnight between the two calls
    EXPECT_EQ(t, std::floor(t));
    EXPECT_GT(t, tiv::encodeDate(2020, 1, 1));
}

} // namespace
