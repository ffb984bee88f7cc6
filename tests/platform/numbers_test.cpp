#include "tivplatform/numbers.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tivplatform/errors.h"
#include "tivplatform/settings.h"

namespace {

class NumbersTest : public ::testing::Test {
  protected:
    void SetUp() override { tiv::resetFormatSettings(); }
    void TearDown() override { tiv::resetFormatSettings(); }
};

struct MaskCase {
    const char *mask;
    double value;
    const char *expected; // with the Brazilian settings
};

TEST_F(NumbersTest, FormatFloatMasksWithBrazilianSettings) {
    const MaskCase cases[] = {
        {"0000.000", 1.5, "0001,500"},
        {"00000.000", 12.34, "00012,340"},
        {"000000.000", 3.2, "000003,200"},
        {"000000.00", 19.9, "000019,90"},
        {"000000000.00", 1234.56, "000001234,56"},
        {"00000000000.00", 0.01, "00000000000,01"},
        {"000000000000.00", 150.0, "000000000150,00"},
        {"#,##0.00", 1234.5, "1.234,50"},
        {"#,##0.00", 1234567.891, "1.234.567,89"},
        {"#,##0.00", 0.0, "0,00"},
        {"#,##0.00", 999.995, "1.000,00"},
        {"#,##0.00", -1234.5, "-1.234,50"},
        {"0.00", 1.005, "1,01"}, // the decimal value is rounded, not the binary one
        {"0.00", 2.675, "2,68"},
        {"0.00", -2.675, "-2,68"}, // half away from zero
        {"0.00", 0.125, "0,13"},
        {"0.00", -0.001, "0,00"}, // no minus on a zero that prints
        {"0.00#", 1.5, "1,50"},
        {"0.00#", 1.2345, "1,235"},
        {"0.00#", 1.2344, "1,234"},
        {".00", 0.5, ",50"},
        {".00", 0.0, ",00"},
        {".00", 12.5, "12,50"},
        {"00.00", 5.0, "05,00"},
        {"00.00", 123.456, "123,46"}, // digits beyond the mask are kept
        {"0", 2.5, "3"},
        {"0", 1234.4, "1234"},
        {"#.##", 1.0, "1"},
        {"0.00 'un'", 3.0, "3,00 un"},
        {"\"R$ \"0.00", 7.1, "R$ 7,10"},
        {"00-00", 123.0, "01-23"},
        {"0.00;(0.00)", -4.5, "(4,50)"},
        {"0.00;(0.00);'zero'", 0.0, "zero"},
        {"000000000000.00", 12345678901.23, "012345678901,23"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(tiv::formatFloat(c.mask, c.value), c.expected)
            << "mask " << c.mask << " value " << c.value;
}

TEST_F(NumbersTest, FormatFloatUsesTheSettingsSeparators) {
    tiv::formatSettings().decimalSeparator = '.';
    tiv::formatSettings().thousandSeparator = ',';
    EXPECT_EQ(tiv::formatFloat("#,##0.00", 1234.5), "1,234.50");
    EXPECT_EQ(tiv::formatFloat("0000.000", 1.5), "0001.500");
    EXPECT_EQ(tiv::formatFloat(".00", 0.5), ".50");
    EXPECT_EQ(tiv::formatFixed(1234.5, 2), "1234.50");
}

TEST_F(NumbersTest, TruncationReadsTheDecimalValue) {
    struct Case {
        double value;
        int decimals;
        double expected;
    };
    const Case cases[] = {
        {10.005, 2, 10.00},   {12.349, 2, 12.34},
        {2.0004, 3, 2.000},   {1.50, 2, 1.50},
        {0.29, 2, 0.29},      {4.35, 2, 4.35},
        {1.15, 2, 1.15},      {2.675, 2, 2.67},
        {-12.349, 2, -12.34}, {0.29 * 100, 2, 29.0}, // 28.999999999999996 in binary
        {1.9999, 3, 1.999},   {8.2, 3, 8.2},
        {0.0, 2, 0.0},        {123456789.999, 2, 123456789.99},
    };
    for (const auto &c : cases) {
        double got = c.decimals == 2 ? tiv::trunc2(c.value) : tiv::trunc3(c.value);
        EXPECT_EQ(got, c.expected) << "trunc" << c.decimals << "(" << c.value << ")";
    }
    // As the driver builds amounts: truncate, then the fixed mask.
    EXPECT_EQ(tiv::formatFloat("00000.000", tiv::trunc2(12.349)), "00012,340");
    EXPECT_EQ(tiv::formatFloat("000000000000.00", tiv::trunc2(0.29)), "000000000000,29");
}

TEST_F(NumbersTest, RoundDecIsHalfAwayFromZeroOnTheDecimalValue) {
    EXPECT_EQ(tiv::roundDec(1.005, 2), 1.01);
    EXPECT_EQ(tiv::roundDec(-1.005, 2), -1.01);
    EXPECT_EQ(tiv::roundDec(2.5, 0), 3.0);
    EXPECT_EQ(tiv::roundDec(1.2344, 3), 1.234);
    EXPECT_EQ(tiv::roundDec(0.285, 2), 0.29);
    EXPECT_EQ(tiv::roundDec(9.995, 2), 10.0);
}

TEST_F(NumbersTest, FixedGeneralAndCurrencyForms) {
    EXPECT_EQ(tiv::formatFixed(1234.5, 2), "1234,50");
    EXPECT_EQ(tiv::formatFixed(-0.005, 2), "-0,01");
    EXPECT_EQ(tiv::formatFixed(7.0, 0), "7");
    EXPECT_EQ(tiv::floatToStr(12.5), "12,5");
    EXPECT_EQ(tiv::floatToStr(0.1 + 0.2), "0,3"); // 15 significant digits
    EXPECT_EQ(tiv::floatToStr(100.0), "100");
    EXPECT_EQ(tiv::floatToStr(-0.0001), "-0,0001");
    EXPECT_EQ(tiv::floatToStr(0.00001), "1E-5");
    EXPECT_EQ(tiv::floatToStr(1e20), "1E20");
    EXPECT_EQ(tiv::floatToStr(0.0), "0");
    EXPECT_EQ(tiv::formatCurrency(1234.5), "R$ 1.234,50");
    EXPECT_EQ(tiv::formatCurrency(-1234.5), "-R$ 1.234,50");
    EXPECT_EQ(tiv::formatCurrency(0.0), "R$ 0,00");
    tiv::formatSettings().currencyString = "$";
    tiv::formatSettings().currencyFormat = 0;
    tiv::formatSettings().negCurrFormat = 0;
    EXPECT_EQ(tiv::formatCurrency(-3.0), "($3,00)");
    EXPECT_EQ(tiv::formatCurrency(3.0), "$3,00");
}

TEST_F(NumbersTest, TextToNumbers) {
    EXPECT_EQ(tiv::strToFloat(" 12,5 "), 12.5);
    EXPECT_EQ(tiv::strToFloat("-3"), -3.0);
    EXPECT_EQ(tiv::strToFloat("1,5E3"), 1500.0);
    EXPECT_EQ(tiv::strToInt("$FF"), 255);
    EXPECT_EQ(tiv::strToInt("-9223372036854775808"), INT64_MIN);
    double d;
    int64_t i;
    for (const char *bad : {"", "abc", "12.5", "1.234,5", "1,2,3", ",", "1E", "--1"})
        EXPECT_FALSE(tiv::tryStrToFloat(bad, d)) << bad;
    for (const char *bad : {"", "12,5", "9223372036854775808", "1 2", "$", "-"})
        EXPECT_FALSE(tiv::tryStrToInt(bad, i)) << bad;
    try {
        tiv::strToFloat("abc");
        FAIL() << "no error";
    } catch (const tiv::ConversionError &e) {
        EXPECT_STREQ(e.what(), "cannot convert text \"abc\" to Real");
    }
}

TEST_F(NumbersTest, NonFiniteValuesDoNotCrash) {
    EXPECT_EQ(tiv::formatFloat("0.00", NAN), "NAN");
    EXPECT_EQ(tiv::formatFloat("0.00", -INFINITY), "-INF");
    EXPECT_TRUE(std::isnan(tiv::trunc2(NAN)));
}

} // namespace
