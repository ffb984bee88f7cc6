#include "tivplatform/cp1252.h"

#include <gtest/gtest.h>

#include "tivplatform/errors.h"

namespace {

TEST(Cp1252Test, RoundTripOfAccentsAndTheHighTable) {
    const std::string utf8 = "\xC3\xA7 \xC3\xA3 \xC3\xA9 \xE2\x82\xAC \xE2\x84\xA2"; // ç ã é € ™
    const std::string cp = "\xE7 \xE3 \xE9 \x80 \x99";
    EXPECT_EQ(tiv::utf8ToCp1252(utf8), cp);
    EXPECT_EQ(tiv::cp1252ToUtf8(cp), utf8);
    // Every defined byte survives the round trip.
    for (int b = 1; b < 256; ++b) {
        if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) continue;
        std::string one(1, static_cast<char>(b));
        EXPECT_EQ(tiv::utf8ToCp1252(tiv::cp1252ToUtf8(one)), one) << "byte " << b;
    }
    EXPECT_EQ(tiv::cp1252ToUtf8("\x81"), "\xEF\xBF\xBD");         // undefined: U+FFFD
    EXPECT_EQ(tiv::cp1252ToUtf8("\x8C\x9F"), "\xC5\x92\xC5\xB8"); // Œ Ÿ
    EXPECT_EQ(tiv::cp1252ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Cp1252Test, UnmappableAndMalformed) {
    EXPECT_EQ(tiv::utf8ToCp1252("\xE4\xB8\xAD x \xF0\x9F\x98\x80"), "? x ?"); // 中, emoji
    for (const char *bad : {"\xC3", "\xC3\x28", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80",
                            "\xF4\x90\x80\x80", "\xFF", "\x80"}) {
        EXPECT_THROW(tiv::utf8ToCp1252(bad), tiv::ConversionError) << bad;
    }
    try {
        tiv::utf8ToCp1252("ab\xC3");
        FAIL() << "no error";
    } catch (const tiv::ConversionError &e) {
        EXPECT_STREQ(e.what(), "cannot convert text to Windows-1252: malformed UTF-8 at byte 2");
    }
}

} // namespace

// The lenient mode never raises: what is not well-formed becomes "?", and a well-formed text
// converts as in the strict mode.
TEST(Cp1252Test, LenientModeTurnsMalformedIntoQuestionMarks) {
    const std::string utf8 = "\xC3\xA7 \xE2\x82\xAC \xE4\xB8\xAD";
    EXPECT_EQ(tiv::utf8ToCp1252Lenient(utf8), tiv::utf8ToCp1252(utf8));
    const std::string noLead = std::string("a\xFF") + "b\x80" + "c";
    EXPECT_EQ(tiv::utf8ToCp1252Lenient(noLead), "a?b?c");
    EXPECT_EQ(tiv::utf8ToCp1252Lenient("ab\xC3"), "ab?"); // cut short at the end
    // A sequence's other bytes are taken as they come.
    EXPECT_EQ(tiv::utf8ToCp1252Lenient(std::string("\xE2\x82") + "x"), "?");
    EXPECT_EQ(tiv::utf8ToCp1252Lenient("\xC3\x28z"), "\xE8z");
    EXPECT_EQ(tiv::utf8ToCp1252Lenient("\xF0\x9F\x98\x80!"), "?!"); // beyond the code page
}
