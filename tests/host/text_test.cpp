#include <gtest/gtest.h>

#include "tivhost/host.h"

using namespace tivhost;

namespace {

struct TextCase {
    const char *what;
    std::string got;
    std::string want;
};

void expectAll(const std::vector<TextCase> &cases) {
    for (const auto &c : cases)
        EXPECT_EQ(c.got, c.want) << c.what;
}

} // namespace

TEST(HostText, FixedWidthFillsAndCuts) {
    expectAll({
        {"Replicate", Replicate("-", 3), "---"},
        {"Replicate of a longer text", Replicate("ab", 2), "abab"},
        {"Replicate zero times", Replicate("=", 0), ""},
        {"Replicate a negative count", Replicate("x", -1), ""},
        {"TamFixo fills on the right", TamFixo("ABC", 5), "ABC  "},
        {"TamFixo cuts on the right", TamFixo("ABCDEF", 3), "ABC"},
        {"TamFixo of nothing", TamFixo("", 2), "  "},
        {"TamFixo zero width", TamFixo("x", 0), ""},
        {"TamFixo counts accents as one column", TamFixo("A\xC7\xC3O", 4), "A\xC7\xC3O"},
        {"TamFixo cuts after an accent", TamFixo("A\xC7\xC3O", 3), "A\xC7\xC3"},
        {"TamFixoR fills on the left", TamFixoR("12,50", 8), "   12,50"},
        {"TamFixoR keeps the right end", TamFixoR("123456", 4), "3456"},
        {"TamFixoR with an accent", TamFixoR("\xC9", 2), " \xC9"},
        {"PadL fills on the left", PadL("8,00", 8), "    8,00"},
        {"PadL leaves a longer text whole", PadL("123456789", 4), "123456789"},
        {"PadL negative width", PadL("a", -3), "a"},
    });
}

TEST(HostText, AjustaZeroFillsNumbersAndBlankFillsOtherTexts) {
    expectAll({
        {"number to 6", Ajusta("12", 6), "000012"},
        {"position code to 2", Ajusta("1", 2), "01"},
        {"number with blanks around", Ajusta(" 42 ", 4), "0042"},
        {"long number keeps its last digits", Ajusta("1234567", 6), "234567"},
        {"leading zeros are what a long number loses", Ajusta("000000123", 6), "000123"},
        {"unit of measure", Ajusta("UN", 3), "UN "},
        {"unit with an accent byte", Ajusta("M\xB3", 3), "M\xB3 "},
        {"product code cut", Ajusta("ABCD", 3), "ABC"},
        {"mixed code is not a number", Ajusta("12A", 6), "12A   "},
        {"a sign makes it text", Ajusta("-1", 6), "-1    "},
        {"empty text", Ajusta("", 6), "      "},
        {"blank text", Ajusta("  ", 3), "   "},
        {"AjustaZero fills", AjustaZero("5", 2), "05"},
        {"AjustaZero exact", AjustaZero("12", 2), "12"},
        {"AjustaZero keeps the last digits", AjustaZero("123", 2), "23"},
        {"AjustaZero drops blanks", AjustaZero(" 7", 3), "007"},
    });
}

TEST(HostText, CentralizaPutsTheOddBlankOnTheRight) {
    expectAll({
        {"even room", Centraliza("ABCD", 8), "  ABCD  "},
        {"odd room", Centraliza("ABC", 8), "  ABC   "},
        {"blanks around are dropped first", Centraliza("  ABC  ", 8), "  ABC   "},
        {"accent counts as one column", Centraliza("RELAT\xD3RIO", 11), " RELAT\xD3RIO "},
        {"longer text cut to the width", Centraliza(std::string(50, 'X'), 48),
         std::string(48, 'X')},
        {"empty text", Centraliza("", 4), "    "},
        {"receipt width", Centraliza("TITULO", 48),
         std::string(21, ' ') + "TITULO" + std::string(21, ' ')},
    });
}

TEST(HostText, TrimsAndBlankTests) {
    expectAll({
        {"RTrim", RTrim("ab  "), "ab"},
        {"RTrim keeps leading blanks", RTrim("  ab"), "  ab"},
        {"RTrim of blanks", RTrim("   "), ""},
        {"RTrim stops at a line feed", RTrim("a\n "), "a\n"},
    });
    EXPECT_TRUE(EmptyString(""));
    EXPECT_TRUE(EmptyString("   "));
    EXPECT_FALSE(EmptyString("  a"));
    EXPECT_FALSE(EmptyString("\xA0")); // a non-breaking space is a character
}

TEST(HostText, NumbersAndChoice) {
    EXPECT_DOUBLE_EQ(Trunc2(10.005), 10.00);
    EXPECT_DOUBLE_EQ(Trunc2(12.349), 12.34);
    EXPECT_DOUBLE_EQ(Trunc2(0.29), 0.29);
    EXPECT_DOUBLE_EQ(Trunc3(2.0004), 2.000);
    EXPECT_DOUBLE_EQ(Trunc3(4.35), 4.35);
    EXPECT_DOUBLE_EQ(RoundDec(2.345, 2), 2.35);
    EXPECT_DOUBLE_EQ(RoundDec(-2.5, 0), -3.0);
    EXPECT_EQ(iif(true, Variant(1), Variant("x")), Variant(1));
    EXPECT_EQ(iif(false, Variant(1), Variant("x")), Variant("x"));
}
